#pragma once

// An INI file read and written like Windows' private profile functions: sections and keys match
// without regard to case, values are trimmed, every write outside a batch reaches the disk at
// once and leaves the rest of the file (comments, other sections, order) as it was; the file is
// replaced whole (ReplaceFile), so that it holds its old or its new text whatever fails. The text
// is read as UTF-8 when it is valid UTF-8, else as GBK (files of the Windows programs), and written
// as UTF-8. A missing file reads as defaults and is created by the first write. Section and key
// names are trimmed; a value is everything after the first '='; of duplicates, the first section
// and in it the first key count.

#include <QString>
#include <memory>
#include <optional>
#include <vector>

#include "FileReplace.h"

class IniFile {
public:
    explicit IniFile(QString path);
    ~IniFile();
    IniFile(const IniFile&) = delete;
    IniFile& operator=(const IniFile&) = delete;

    QString Path() const { return path_; }

    // Decimal or hexadecimal ("$1F", "0x1F"), optionally signed; anything else gives the default.
    int ReadInteger(const QString& section, const QString& key, int defaultValue) const;
    // An integer that is not 0.
    bool ReadBool(const QString& section, const QString& key, bool defaultValue) const;
    // A key that is present with an empty value reads as "", not as the default. The default
    // comes back without trailing blanks.
    QString ReadString(const QString& section, const QString& key,
                       const QString& defaultValue) const;

    // A file system path: the value's bytes as they stand, whatever the file's text encoding.
    QString ReadPath(const QString& section, const QString& key) const;

    // A write that fails (a full disk, a file that is there but cannot be read) leaves the file
    // as it was and says why. Inside a batch a write changes only the batch's text and succeeds;
    // the batch's Commit gives the file's result.
    [[nodiscard]] WriteResult WriteInteger(const QString& section, const QString& key, int value);
    // Written as "1" or "0".
    [[nodiscard]] WriteResult WriteBool(const QString& section, const QString& key, bool value);
    [[nodiscard]] WriteResult WriteString(const QString& section, const QString& key,
                                          const QString& value);

    // Many writes at once. While a batch is open the writes change the text in memory, where
    // the reads of this object find them, and the file is replaced once, when the outermost
    // batch commits, by its text as it then stands with the writes applied in order. A batch
    // that ends without Commit (an exception, a program that dies) leaves the file as it was.
    class Batch {
    public:
        explicit Batch(IniFile& ini);
        ~Batch();
        Batch(const Batch&) = delete;
        Batch& operator=(const Batch&) = delete;

        // The file's writes, which inside a batch cannot fail.
        void WriteInteger(const QString& section, const QString& key, int value);
        void WriteBool(const QString& section, const QString& key, bool value);
        void WriteString(const QString& section, const QString& key, const QString& value);

        // Ends the batch. The outermost one writes the file and gives its result; an inner one
        // succeeds, its writes going with the outer one's.
        [[nodiscard]] WriteResult Commit();

    private:
        // True when it was the outermost batch.
        bool End();

        IniFile& ini_;
        bool ended_ = false;
    };

private:
    struct Write {
        QString section;
        QString key;
        QString value;
    };
    struct Pending;
    struct Found;

    Found Find(const QString& section, const QString& key) const;
    std::optional<QString> Lookup(const QString& section, const QString& key) const;
    // The file as it now stands with the writes applied, replaced whole.
    WriteResult Rewrite(const std::vector<Write>& writes) const;

    QString path_;
    int batchDepth_ = 0;
    std::unique_ptr<Pending> pending_;
};

// The message of a window whose settings could not be written: the file, the system's reason,
// and that the file was kept as it was.
QString SettingsNotSavedText(const QString& path, const WriteResult& result);

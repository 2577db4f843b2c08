#include "IniFile.h"

#include <QFile>
#include <QStringDecoder>
#include <QStringList>
#include <cctype>
#include <limits>
#include <optional>
#include <vector>

#include "FileReplace.h"
#include "TextCodec.h"

namespace {

struct Text {
    QStringList lines;
    QByteArrayList raw;  // the same lines as the bytes on disk
    QString eol = "\n";
};

bool IsUtf8(const QByteArray& bytes) {
    QStringDecoder decoder(QStringDecoder::Utf8);
    [[maybe_unused]] const QString text = decoder.decode(bytes);
    return !decoder.hasError();
}

// UTF-8 when the file is valid UTF-8, else GBK as the Windows programs wrote it. A file that is
// there but cannot be read gives an empty text and the reason in failure, so that no write
// replaces what it could not see.
Text Load(const QString& path, QString* failure = nullptr) {
    Text text;
    QFile file(path);
    if (!file.open(QIODevice::ReadOnly)) {
        if (failure && file.exists())
            *failure = file.errorString();
        return text;
    }
    QByteArray all = file.readAll();
    if (file.error() != QFileDevice::NoError) {
        if (failure)
            *failure = file.errorString();
        return text;
    }
    if (all.startsWith("\xEF\xBB\xBF"))
        all.remove(0, 3);
    if (all.contains("\r\n"))
        text.eol = "\r\n";
    text.raw = all.split('\n');
    if (!text.raw.isEmpty() && text.raw.last().isEmpty())
        text.raw.removeLast();
    const bool utf8 = IsUtf8(all);
    for (QByteArray& line : text.raw) {
        if (line.endsWith('\r'))
            line.chop(1);
        text.lines << (utf8 ? QString::fromUtf8(line) : FromGbk(line));
    }
    return text;
}

WriteResult Save(const QString& path, const Text& text) {
    return ReplaceFile(path, (text.lines.join(text.eol) + text.eol).toUtf8());
}

bool Same(const QString& a, const QString& b) {
    return a.compare(b, Qt::CaseInsensitive) == 0;
}

// The name of a section header line, or nothing for other lines.
std::optional<QString> SectionName(const QString& line) {
    const QString trimmed = line.trimmed();
    if (!trimmed.startsWith('['))
        return std::nullopt;
    const int close = trimmed.indexOf(']');
    return trimmed.mid(1, close < 0 ? -1 : close - 1).trimmed();
}

std::optional<QString> KeyName(const QString& line) {
    const int equals = line.indexOf('=');
    if (equals < 0)
        return std::nullopt;
    return line.left(equals).trimmed();
}

// Lines [begin, end) of the section's body; begin is -1 when the section is missing.
struct Span {
    int header = -1;
    int end = -1;
};

Span FindSection(const Text& text, const QString& section) {
    Span span;
    for (int i = 0; i < text.lines.size(); ++i) {
        const std::optional<QString> name = SectionName(text.lines[i]);
        if (!name)
            continue;
        if (span.header >= 0) {
            span.end = i;
            return span;
        }
        if (Same(*name, section))
            span.header = i;
    }
    span.end = text.lines.size();
    return span;
}

int FindKey(const Text& text, const Span& span, const QString& key) {
    if (span.header < 0)
        return -1;
    for (int i = span.header + 1; i < span.end; ++i) {
        const std::optional<QString> name = KeyName(text.lines[i]);
        if (name && Same(*name, key))
            return i;
    }
    return -1;
}

// The value of a key line: everything after the first '=', trimmed, without enclosing quotes.
// In GBK no trail byte is '=', so the raw line splits where the text does.
template <typename String>
String ValueOf(const String& entry) {
    String value = entry.mid(entry.indexOf('=') + 1).trimmed();
    const bool quoted = value.size() >= 2 && (value.front() == '"' || value.front() == '\'') &&
                        value.back() == value.front();
    return quoted ? value.mid(1, value.size() - 2) : value;
}

int FindLine(const Text& text, const QString& section, const QString& key) {
    return FindKey(text, FindSection(text, section.trimmed()), key.trimmed());
}

// Sets the key's value in the text, adding the key or the section as needed; the raw lines
// changed are those a save writes.
void Apply(Text& text, const QString& section, const QString& key, const QString& value) {
    const Span span = FindSection(text, section);
    const int line = FindKey(text, span, key);
    if (line >= 0) {
        text.lines[line] = *KeyName(text.lines[line]) + "=" + value;
        text.raw[line] = text.lines[line].toUtf8();
    } else if (span.header >= 0) {
        int after = span.end;
        while (after > span.header + 1 && text.lines[after - 1].trimmed().isEmpty()) --after;
        text.lines.insert(after, key + "=" + value);
        text.raw.insert(after, text.lines[after].toUtf8());
    } else {
        text.lines << "[" + section + "]" << key + "=" + value;
        text.raw << text.lines[text.lines.size() - 2].toUtf8() << text.lines.last().toUtf8();
    }
}

// Delphi's integer syntax: optional sign, then decimal digits, or hex digits after "$" or "0x".
std::optional<int> ParseInteger(const QString& text) {
    QString digits = text;
    bool negative = false;
    if (digits.startsWith('-') || digits.startsWith('+')) {
        negative = digits.startsWith('-');
        digits.remove(0, 1);
    }
    int base = 10;
    if (digits.startsWith('$')) {
        base = 16;
        digits.remove(0, 1);
    } else if (digits.startsWith("0x", Qt::CaseInsensitive)) {
        base = 16;
        digits.remove(0, 2);
    }
    if (digits.isEmpty())
        return std::nullopt;
    for (const QChar c : digits) {
        // Only ASCII digits count; the character classes take nothing but byte values.
        if (c.unicode() >= 128)
            return std::nullopt;
        const auto byte = static_cast<unsigned char>(c.unicode());
        if ((base == 10 ? isdigit(byte) : isxdigit(byte)) == 0)
            return std::nullopt;
    }
    bool ok = false;
    const qulonglong magnitude = digits.toULongLong(&ok, base);
    if (!ok)
        return std::nullopt;
    // Hexadecimal may spell the 32 bits of a negative number ("$FFFFFFFF" is -1).
    const qulonglong limit =
        base == 16 ? 0xFFFFFFFFull : qulonglong(std::numeric_limits<int>::max()) + negative;
    if (magnitude > limit)
        return std::nullopt;
    const int value = static_cast<int>(static_cast<uint32_t>(magnitude));
    return negative ? static_cast<int>(0u - static_cast<uint32_t>(value)) : value;
}

}  // namespace

struct IniFile::Pending {
    Text text;
    std::vector<Write> writes;
};

// The text a read looks in: the batch's, else the file's as loaded for this read.
struct IniFile::Found {
    const Text* pending = nullptr;
    Text loaded;
    int line = -1;

    const Text& Source() const { return pending ? *pending : loaded; }
};

IniFile::IniFile(QString path) : path_(std::move(path)) {}

IniFile::~IniFile() = default;

IniFile::Found IniFile::Find(const QString& section, const QString& key) const {
    Found found;
    if (pending_)
        found.pending = &pending_->text;
    else
        found.loaded = Load(path_);
    found.line = FindLine(found.Source(), section, key);
    return found;
}

std::optional<QString> IniFile::Lookup(const QString& section, const QString& key) const {
    const Found found = Find(section, key);
    if (found.line < 0)
        return std::nullopt;
    return ValueOf(found.Source().lines[found.line]);
}

int IniFile::ReadInteger(const QString& section, const QString& key, int defaultValue) const {
    const std::optional<QString> value = Lookup(section, key);
    if (!value)
        return defaultValue;
    return ParseInteger(*value).value_or(defaultValue);
}

bool IniFile::ReadBool(const QString& section, const QString& key, bool defaultValue) const {
    return ReadInteger(section, key, defaultValue ? 1 : 0) != 0;
}

QString IniFile::ReadString(const QString& section, const QString& key,
                            const QString& defaultValue) const {
    if (const std::optional<QString> value = Lookup(section, key))
        return *value;
    // The profile functions strip trailing blanks from the default they hand back.
    QString fallback = defaultValue;
    while (fallback.endsWith(' ')) fallback.chop(1);
    return fallback;
}

QString IniFile::ReadPath(const QString& section, const QString& key) const {
    const Found found = Find(section, key);
    return found.line < 0 ? QString() : QFile::decodeName(ValueOf(found.Source().raw[found.line]));
}

WriteResult IniFile::WriteInteger(const QString& section, const QString& key, int value) {
    return WriteString(section, key, QString::number(value));
}

WriteResult IniFile::WriteBool(const QString& section, const QString& key, bool value) {
    return WriteString(section, key, value ? "1" : "0");
}

WriteResult IniFile::WriteString(const QString& sectionName, const QString& keyName,
                                 const QString& value) {
    const QString section = sectionName.trimmed();
    const QString key = keyName.trimmed();
    if (pending_) {
        // What the file would hold after a write: every line in UTF-8.
        if (pending_->writes.empty()) {
            pending_->text.raw.clear();
            for (const QString& line : pending_->text.lines) pending_->text.raw << line.toUtf8();
        }
        Apply(pending_->text, section, key, value);
        pending_->writes.push_back({section, key, value});
        return {};
    }
    return Rewrite({{section, key, value}});
}

WriteResult IniFile::Rewrite(const std::vector<Write>& writes) const {
    QString unreadable;
    Text text = Load(path_, &unreadable);
    if (!unreadable.isEmpty())
        return WriteResult::Failed(unreadable);
    for (const Write& write : writes) Apply(text, write.section, write.key, write.value);
    return Save(path_, text);
}

IniFile::Batch::Batch(IniFile& ini) : ini_(ini) {
    if (ini_.batchDepth_++ == 0)
        ini_.pending_.reset(new Pending{Load(ini_.path_), {}});
}

IniFile::Batch::~Batch() {
    if (!ended_ && End())
        ini_.pending_.reset();
}

void IniFile::Batch::WriteInteger(const QString& section, const QString& key, int value) {
    (void)ini_.WriteInteger(section, key, value);
}

void IniFile::Batch::WriteBool(const QString& section, const QString& key, bool value) {
    (void)ini_.WriteBool(section, key, value);
}

void IniFile::Batch::WriteString(const QString& section, const QString& key, const QString& value) {
    (void)ini_.WriteString(section, key, value);
}

bool IniFile::Batch::End() {
    ended_ = true;
    return --ini_.batchDepth_ == 0;
}

WriteResult IniFile::Batch::Commit() {
    if (!End())
        return {};
    const std::unique_ptr<Pending> pending = std::move(ini_.pending_);
    if (pending->writes.empty())
        return {};
    // Others may have written the file meanwhile: their keys stay.
    return ini_.Rewrite(pending->writes);
}

QString SettingsNotSavedText(const QString& path, const WriteResult& result) {
    return QStringLiteral("设置未能保存！\n%1\n%2\n原有的设置文件保持不变。")
        .arg(path, result.reason);
}

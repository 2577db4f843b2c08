#include "ZipArchive.h"

#include "AppendJournal.h"

#include <minizip/unzip.h>
#include <minizip/zip.h>
#include <sys/stat.h>
#include <zlib.h>
#include <algorithm>
#include <cerrno>
#include <cstdint>
#include <cstdio>
#include <cstring>
#include <ctime>
#include <memory>
#include <new>

namespace record {
namespace {

constexpr size_t kCopyBlock = 1 << 20;
// Deflate cannot expand more than about 1032 to 1; a larger claim is not a real entry.
constexpr uint64_t kMaxDeflateRatio = 1032;
constexpr uint64_t kZip64Threshold = 0xFFFFFFFFu;

std::string BaseName(const std::string& path) {
    const size_t slash = path.find_last_of('/');
    return slash == std::string::npos ? path : path.substr(slash + 1);
}

bool IsAscii(const std::string& text) {
    for (unsigned char c : text) {
        if (c >= 0x80)
            return false;
    }
    return true;
}

zip_fileinfo FileInfo(time_t modified) {
    zip_fileinfo info = {};
    struct tm local = {};
    localtime_r(&modified, &local);
    info.tmz_date.tm_sec = local.tm_sec;
    info.tmz_date.tm_min = local.tm_min;
    info.tmz_date.tm_hour = local.tm_hour;
    info.tmz_date.tm_mday = local.tm_mday;
    info.tmz_date.tm_mon = local.tm_mon;
    info.tmz_date.tm_year = local.tm_year + 1900;
    return info;
}

struct FileCloser {
    void operator()(FILE* file) const { std::fclose(file); }
};

}  // namespace

bool AppendFileToArchive(const std::string& archivePath, const std::string& filePath,
                         std::string& error, int level) {
    if (!RecoverInterruptedAppend(archivePath, error))
        return false;
    std::unique_ptr<FILE, FileCloser> source(std::fopen(filePath.c_str(), "rbe"));
    struct stat status = {};
    if (!source || fstat(fileno(source.get()), &status) != 0) {
        error = "cannot read " + filePath + ": " + std::strerror(errno);
        return false;
    }
    AppendJournal journal;
    if (!journal.Begin(archivePath, error))
        return false;
    struct stat archiveStatus = {};
    const bool exists = stat(archivePath.c_str(), &archiveStatus) == 0;
    const std::string name = BaseName(filePath);
    std::string reason;
    // minizip keeps no reason of its own; errno right after the first failing call has it.
    const auto check = [&reason](bool ok) {
        if (!ok && reason.empty())
            reason = errno != 0 ? std::strerror(errno) : "damaged archive";
        return ok;
    };
    // Adding in place writes the new entry over the old central directory and the whole
    // directory after it; the entries before stay where they are.
    errno = 0;
    zipFile zip =
        zipOpen64(archivePath.c_str(), exists ? APPEND_STATUS_ADDINZIP : APPEND_STATUS_CREATE);
    bool ok = check(zip != nullptr);
    if (ok) {
        const zip_fileinfo info = FileInfo(status.st_mtime);
        const int zip64 = static_cast<uint64_t>(status.st_size) >= kZip64Threshold;
        ok = check(zipOpenNewFileInZip4_64(
                       zip, name.c_str(), &info, nullptr, 0, nullptr, 0, nullptr, Z_DEFLATED, level,
                       0, -MAX_WBITS, DEF_MEM_LEVEL, Z_DEFAULT_STRATEGY, nullptr, 0, 0,
                       IsAscii(name) ? 0 : ZipReader::kUtf8NameFlag, zip64) == ZIP_OK);
    }
    if (ok) {
        std::vector<char> block(std::clamp<size_t>(status.st_size, 1, kCopyBlock));
        size_t got = 0;
        while (ok && (got = std::fread(block.data(), 1, block.size(), source.get())) > 0)
            ok =
                check(zipWriteInFileInZip(zip, block.data(), static_cast<unsigned>(got)) == ZIP_OK);
        ok = ok && check(!std::ferror(source.get()));
        ok = check(zipCloseFileInZip(zip) == ZIP_OK) && ok;
    }
    if (zip)
        ok = check(zipClose(zip, nullptr) == ZIP_OK) && ok;
    if (ok && journal.Commit(error))
        return true;
    if (!ok)
        error = "cannot add " + name + " to " + archivePath + ": " + reason;
    std::string undoError;
    if (!journal.Undo(undoError))
        error += "; " + undoError;
    return false;
}

bool LooksLikeZip(const uint8_t* bytes, size_t count) {
    return count >= 4 && bytes[0] == 'P' && bytes[1] == 'K' &&
           ((bytes[2] == 3 && bytes[3] == 4) || (bytes[2] == 5 && bytes[3] == 6));
}

bool IsSafeEntryName(const std::string& name) {
    if (name.empty() || name[0] == '/' || name[0] == '\\')
        return false;
    if (name.size() > 1 && name[1] == ':')
        return false;
    size_t start = 0;
    while (start <= name.size()) {
        size_t end = name.find_first_of("/\\", start);
        if (end == std::string::npos)
            end = name.size();
        if (name.compare(start, end - start, "..") == 0)
            return false;
        start = end + 1;
    }
    return true;
}

ZipReader::ZipReader(const std::string& path) {
    if (!RecoverInterruptedAppend(path, error_))
        return;
    // minizip misses an end record at offset 0, which is all an archive without entries holds.
    if (std::unique_ptr<FILE, FileCloser> plain{std::fopen(path.c_str(), "rbe")}) {
        uint8_t head[4] = {};
        empty_ = std::fread(head, 1, sizeof head, plain.get()) == sizeof head && head[0] == 'P' &&
                 head[1] == 'K' && head[2] == 5 && head[3] == 6;
        if (empty_)
            return;
    }
    file_ = unzOpen64(path.c_str());
    if (!file_) {
        error_ = "not a ZIP archive or damaged: " + path;
        return;
    }
    if (!List()) {
        unzClose(file_);
        file_ = nullptr;
    }
}

ZipReader::~ZipReader() {
    if (file_)
        unzClose(file_);
}

bool ZipReader::Fail(const std::string& text) {
    error_ = text;
    return false;
}

bool ZipReader::List() {
    unz_global_info64 global = {};
    if (unzGetGlobalInfo64(file_, &global) != UNZ_OK)
        return Fail("damaged central directory");
    if (global.number_entry == 0)
        return true;
    int status = unzGoToFirstFile(file_);
    while (status == UNZ_OK) {
        unz_file_info64 info = {};
        char name[1024];
        if (unzGetCurrentFileInfo64(file_, &info, name, sizeof name, nullptr, 0, nullptr, 0) !=
            UNZ_OK)
            return Fail("damaged central directory");
        unz64_file_pos pos = {};
        unzGetFilePos64(file_, &pos);
        Entry entry;
        entry.name.assign(name, std::min<size_t>(info.size_filename, sizeof name - 1));
        entry.size = info.uncompressed_size;
        entry.packedSize = info.compressed_size;
        entry.method = info.compression_method;
        entry.flag = info.flag;
        entry.crc = static_cast<uint32_t>(info.crc);
        entry.directoryPos = pos.pos_in_zip_directory;
        entry.entryNumber = pos.num_of_file;
        // Stored in local time, as the writer takes it.
        struct tm local = {};
        local.tm_sec = static_cast<int>(info.tmu_date.tm_sec);
        local.tm_min = static_cast<int>(info.tmu_date.tm_min);
        local.tm_hour = static_cast<int>(info.tmu_date.tm_hour);
        local.tm_mday = static_cast<int>(info.tmu_date.tm_mday);
        local.tm_mon = static_cast<int>(info.tmu_date.tm_mon);
        local.tm_year = static_cast<int>(info.tmu_date.tm_year) - 1900;
        local.tm_isdst = -1;
        entry.modified = mktime(&local);
        entries_.push_back(std::move(entry));
        status = unzGoToNextFile(file_);
    }
    if (status != UNZ_END_OF_LIST_OF_FILE)
        return Fail("damaged central directory");
    return true;
}

ZipReader::Result ZipReader::Check(int index, uint64_t maxBytes) {
    if (!file_ || index < 0 || index >= EntryCount()) {
        Fail("no such entry");
        return Result::Failed;
    }
    const Entry& entry = entries_[index];
    const std::string what = "entry " + entry.name + ": ";
    if (!IsSafeEntryName(entry.name)) {
        Fail(what + "its name leads outside the archive's folder");
        return Result::Failed;
    }
    if (entry.flag & 1) {
        Fail(what + "encrypted");
        return Result::Failed;
    }
    if (entry.method != 0 && entry.method != Z_DEFLATED) {
        Fail(what + "compression method " + std::to_string(entry.method) + " is not supported");
        return Result::Failed;
    }
    const bool sizesAgree = entry.method == 0 ? entry.size == entry.packedSize
                                              : entry.size / kMaxDeflateRatio <= entry.packedSize;
    if (!sizesAgree) {
        Fail(what + "its sizes disagree");
        return Result::Failed;
    }
    if (entry.size > maxBytes) {
        Fail(what + "too large for memory");
        return Result::TooLarge;
    }
    return Result::Ok;
}

bool ZipReader::Inflate(int index, const Sink& sink) {
    const Entry& entry = entries_[index];
    const std::string what = "entry " + entry.name + ": ";
    unz64_file_pos pos = {entry.directoryPos, entry.entryNumber};
    if (unzGoToFilePos64(file_, &pos) != UNZ_OK || unzOpenCurrentFile(file_) != UNZ_OK)
        return Fail(what + "damaged local header");
    // minizip never gives more than the declared size, so a longer stream shows as a CRC error.
    std::vector<uint8_t> block(std::clamp<uint64_t>(entry.size, 1, kCopyBlock));
    uint64_t got = 0;
    int read = 1;
    while (got < entry.size && read > 0) {
        const uint64_t want = std::min<uint64_t>(entry.size - got, block.size());
        read = unzReadCurrentFile(file_, block.data(), static_cast<unsigned>(want));
        if (read > 0) {
            sink(block.data(), static_cast<size_t>(read));
            got += static_cast<uint64_t>(read);
        }
    }
    const int closed = unzCloseCurrentFile(file_);
    if (read < 0)
        return Fail(what + "damaged data (error " + std::to_string(read) + ")");
    if (got < entry.size)
        return Fail(what + "holds less data than its declared size");
    if (closed == UNZ_CRCERROR)
        return Fail(what + "checksum mismatch");
    if (closed != UNZ_OK)
        return Fail(what + "damaged data");
    return true;
}

bool ZipReader::Locate(int index, uint64_t& dataOffset) {
    if (Check(index, UINT64_MAX) != Result::Ok)
        return false;
    const Entry& entry = entries_[index];
    unz64_file_pos pos = {entry.directoryPos, entry.entryNumber};
    if (unzGoToFilePos64(file_, &pos) != UNZ_OK || unzOpenCurrentFile(file_) != UNZ_OK)
        return Fail("entry " + entry.name + ": damaged local header");
    dataOffset = unzGetCurrentFileZStreamPos64(file_);
    unzCloseCurrentFile(file_);
    return true;
}

ZipReader::Result ZipReader::StreamEntry(int index, uint64_t maxBytes, const Sink& sink) {
    const Result checked = Check(index, maxBytes);
    if (checked != Result::Ok)
        return checked;
    return Inflate(index, sink) ? Result::Ok : Result::Failed;
}

ZipReader::Result ZipReader::ReadEntry(int index, uint64_t maxBytes, std::vector<uint8_t>& bytes) {
    bytes.clear();
    const Result checked = Check(index, maxBytes);
    if (checked != Result::Ok)
        return checked;
    try {
        bytes.reserve(entries_[index].size);
    } catch (const std::bad_alloc&) {
        Fail("entry " + entries_[index].name + ": too large for memory");
        return Result::TooLarge;
    }
    const bool ok = Inflate(index, [&bytes](const uint8_t* piece, size_t count) {
        bytes.insert(bytes.end(), piece, piece + count);
    });
    if (ok)
        return Result::Ok;
    bytes = std::vector<uint8_t>();
    return Result::Failed;
}

}  // namespace record

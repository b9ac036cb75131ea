// The program's file and folder library: text files as lines, whole files as bytes, folder trees,
// initialisation-file values. Every layer that touches files goes through these operations.
//
// Texts in memory are UTF-8. Paths are used as given, relative to the working folder; names keep
// their letter case. Integer results are 0 for success and -1 for failure unless stated.
#pragma once

#include <cstdint>
#include <string>
#include <string_view>
#include <vector>

namespace qzm {

// Files read whole are checked against the largest file of their kind before they are read, so
// that a huge or endless file (a wrong pick in the file dialog) is refused instead of exhausting
// memory. By default: well above any file the program writes (an album file of a full store is
// about 21 MB).
inline constexpr std::size_t kMaxWholeFileSize = std::size_t{64} << 20;
// Ini, registration and table files hold a few kilobytes.
inline constexpr std::size_t kMaxTextFileSize = std::size_t{1} << 20;

// One row of FullImageInfo.dat: a model text and the full image size of that model.
struct ImageInfoEntry {
    std::string name;
    int width = 0;
    int height = 0;
};

// Cuts a text at every occurrence of the separator. Empty pieces are kept, also the one after a
// final separator: "a\nb\n" gives "a", "b", "". An empty separator gives the whole text.
std::vector<std::string> SplitText(std::string_view text, std::string_view separator);

// Decimal conversion of the leading part of a text, as strtol does: blanks, an optional sign, then
// digits; 0 when there are none. Values outside int are clamped to its range.
int ParseLeadingInt(std::string_view text);

class CFileOperate {
public:
    virtual ~CFileOperate() = default;

    // Reads a text file as lines. UTF-16LE is recognised by its byte-order mark (FF FE) or by
    // line feeds stored as the 16-bit unit 0A 00; a file starting with the UTF-8 byte-order mark is
    // read as UTF-8; anything else is Windows-1252. Big-endian UTF-16 is refused (-1). Each line
    // loses its trailing carriage returns; a last line without a line end is kept, an empty one is
    // not. Lines are appended to `lines`. -1 when the file cannot be read or is larger than
    // kMaxTextFileSize.
    static int ReadTextLines(const std::string& path, std::vector<std::string>& lines);

    // Writes each line followed by CR LF, in Windows-1252; when any line holds a character that
    // Windows-1252 lacks, the whole file is written as UTF-16LE with a byte-order mark instead.
    // The old file is replaced only once the new one is complete. -1 when the write fails.
    static int WriteTextLines(const std::string& path, const std::vector<std::string>& lines);
    // The bytes WriteTextLines writes: CR LF line ends, Windows-1252, or UTF-16LE with a byte-order
    // mark when a line needs more.
    static std::string EncodeTextLines(const std::vector<std::string>& lines);

    // Appends the names (not paths) of the entries matching `pattern` that are not folders, in
    // ascending name order. The pattern is a folder, "/", and a name with the wildcards '*' and
    // '?', matched without regard to ASCII letter case ("./Log/*.log"). -1 when nothing matches or
    // the folder does not exist.
    static int ListFiles(const std::string& pattern, std::vector<std::string>& names);

    // As ListFiles, for folders ("./DB/RegistData/*").
    static int ListSubfolders(const std::string& pattern, std::vector<std::string>& names);

    // Reads a whole file. -1, `bytes` empty, for an empty path, anything but a regular file, a file
    // larger than maxSize (also one that grows past it while it is read), a file that cannot be
    // read, or memory that runs out.
    static int ReadWholeFile(const std::string& path, std::vector<std::uint8_t>& bytes,
                             std::size_t maxSize = kMaxWholeFileSize);

    // Replaces a file with the bytes; the old file stays intact if the write fails. -1 on failure.
    static int WriteWholeFile(const std::string& path, const void* bytes, std::size_t size);
    static int WriteWholeFile(const std::string& path, const std::vector<std::uint8_t>& bytes) {
        return WriteWholeFile(path, bytes.data(), bytes.size());
    }

    // Creates the folder and every missing parent. Returns 0 when the folder exists afterwards.
    static int CreateFolderTree(const std::string& path);

    // Copies every file (not folder) of `source` into `target`, replacing existing files; each copy
    // replaces its target only once complete. Failed single copies are skipped.
    static void CopyFolderFiles(const std::string& source, const std::string& target);

    // Copies the folder with its sub-folders into `target` when `source` exists. Symbolic links to
    // folders are not followed.
    static void CopyFolderTree(const std::string& source, const std::string& target);

    // Deletes every file directly in the folder (a symbolic link is removed, not its target).
    static void DeleteFolderFiles(const std::string& folder);

    // Deletes the folder with everything in it when it exists. Symbolic links inside are removed
    // without touching what they point to.
    static void DeleteFolderTree(const std::string& folder);

    // Name and extension of the last path component: "./DB/a.qzc" gives "a.qzc".
    static std::string GetFileNameAndExt(const std::string& path);

    // Ini values. Section and key names are compared without regard to ASCII letter case; the first
    // matching section and, in it, the first matching key win. Read values lose surrounding blanks
    // and one pair of surrounding quotes and are cut to 511 UTF-16 characters. A missing file,
    // section or key gives the default. Always 0.
    static int ReadIniString(const std::string& section, const std::string& key,
                             const std::string& defaultValue, const std::string& file, std::string& value);

    // Reads the value as ReadIniString and converts it like strtol (leading digits, 0 when none).
    static int ReadIniInt(const std::string& section, const std::string& key, int defaultValue,
                          const std::string& file, int& value);

    // Sets a value. An existing key's line is replaced in place; every other line, comments
    // included, is kept. A missing section is appended, a missing file created. Written as UTF-8
    // with CR LF; the old file is replaced only once the new one is complete. -1 when the write
    // fails, or when a name or the value would break the file's structure (line breaks, an empty
    // or bracketed section name, an empty key, '=' in a key).
    static int WriteIniString(const std::string& section, const std::string& key, const std::string& file,
                              const std::string& value);
    static int WriteIniInt(const std::string& section, const std::string& key, const std::string& file,
                           int value);

    // Reads the model table (FullImageInfo.dat in the working folder): lines "name<TAB>width<TAB>
    // height"; lines starting with ';' are comments, lines with fewer than three fields are
    // skipped. Entries are appended. Returns ReadTextLines' result.
    static int ReadImageInfoTable(std::vector<ImageInfoEntry>& entries,
                                  const std::string& path = "FullImageInfo.dat");

    // The first write of the calling thread that failed (WriteTextLines, WriteWholeFile,
    // WriteIniString, CreateFolderTree) since ForgetWriteFailure: the file and the system's words
    // for why, empty when it gave none. Lets a caller several layers up tell the user which file it
    // could not write; the first failure is the one that stopped the work, later ones follow from it.
    struct WriteFailure {
        std::string path;
        std::string reason;
    };
    static WriteFailure FirstWriteFailure();
    static void ForgetWriteFailure();

private:
    // Replaces the file's contents (files/atomic_file.h) and notes a failure for LastWriteFailure.
    static int ReplaceNotingFailure(const std::string& path, std::string_view bytes);
    static void NoteWriteFailure(const std::string& path, const std::string& reason);
};

}  // namespace qzm

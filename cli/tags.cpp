// kelpin tags: a tags file of the symbols the precise scan finds, as Vim
// and other editors read it, or Emacs' TAGS.
//
// Every file gives its lines on a worker thread; tag_sort.h sorts them.
#include <fcntl.h>
#include <sys/stat.h>
#include <unistd.h>

#include <algorithm>
#include <atomic>
#include <cerrno>
#include <cstdio>
#include <cstring>
#include <filesystem>
#include <initializer_list>
#include <memory>
#include <optional>
#include <string>
#include <string_view>
#include <thread>
#include <unordered_map>
#include <vector>

// The hash is compiled in: nothing more to carry at run time.
#define XXH_INLINE_ALL
#include <xxhash.h>

#include "cli.h"
#include "function_records.h"
#include "output.h"
#include "scanner/symbols.h"
#include "seam/platform.h"
#include "symbols.h"
#include "tag_sort.h"
#include "tree.h"

namespace kelpin::cli {

namespace {

struct TagsOptions {
    std::vector<std::string> paths;
    std::string out;
    int jobs = 0;
    std::string extensions;
    std::string kinds;
    std::string fields;
    std::string address = "pattern";
    std::string tagRelative;
    std::string format = "ctags";
    bool etags = false;
    std::string sort = "yes";
    std::vector<std::string> excludes;
    std::string list;
    bool nul = false;
    bool append = false;
    bool update = false;
    bool addIn = false;
    int patternLimit = 96;
};

// The command as its help names and tells it.
constexpr CommandText Command = {
    "tags", "Write a tags file of the symbols under PATH, for Vim, Emacs and other editors"};

// What a tag line holds, settled once for the run.
struct LineForm {
    std::string kinds;
    bool kindLetter = true; // k
    bool kindName = false;  // K
    bool scope = true;      // s
    bool fileScope = true;  // f
    bool line = false;      // n
    bool end = false;       // e
    bool patterns = true;
    bool etags = false;
    std::size_t patternLimit = 96;
};

// ---- Options ------------------------------------------------------------------

bool ParseFields(const std::string& option, LineForm* form) {
    std::string chosen = "ksf";
    if (!option.empty()) {
        bool relative = option[0] == '+' || option[0] == '-';
        bool adding = true;
        if (!relative) chosen.clear();
        for (char c : option) {
            if (relative && (c == '+' || c == '-')) {
                adding = c == '+';
                continue;
            }
            if (std::string_view("kKsfne").find(c) == std::string_view::npos) {
                PrintError(std::string("--fields: no field '") + c +
                           "' (fields: k kind, K kind's name, s scope, f file:, n line:, e end:)");
                return false;
            }
            std::string::size_type at = chosen.find(c);
            if (adding && at == std::string::npos) chosen += c;
            if (!adding && at != std::string::npos) chosen.erase(at, 1);
        }
    }
    auto has = [&](char c) { return chosen.find(c) != std::string::npos; };
    form->kindLetter = has('k') && !has('K');
    form->kindName = has('K');
    form->scope = has('s');
    form->fileScope = has('f');
    form->line = has('n');
    form->end = has('e');
    return true;
}

// --exclude's patterns, each "@FILE" replaced by the patterns in FILE, one
// a line.
bool ExpandExcludes(const std::vector<std::string>& given, std::vector<std::string>* out) {
    for (const std::string& pattern : given) {
        if (pattern.empty() || pattern[0] != '@') {
            out->push_back(pattern);
            continue;
        }
        std::string text;
        if (!ReadSourceFile(pattern.substr(1), &text)) return false;
        std::string::size_type from = 0;
        while (from < text.size()) {
            std::string::size_type feed = std::min(text.find('\n', from), text.size());
            std::string line = text.substr(from, feed - from);
            if (!line.empty() && line.back() == '\r') line.pop_back();
            if (!line.empty()) out->push_back(line);
            from = feed + 1;
        }
    }
    return true;
}

// -L's list: one path a line, or NUL-separated with -0.
bool ReadFileList(const std::string& list, bool nul, std::vector<std::string>* paths) {
    std::string text;
    if (list == "-") {
        char buffer[65536];
        std::size_t n;
        while ((n = std::fread(buffer, 1, sizeof buffer, stdin)) > 0)
            text.append(buffer, n);
        if (std::ferror(stdin)) {
            PrintError("standard input: read error");
            return false;
        }
    } else if (!ReadSourceFile(list, &text)) {
        return false;
    }
    char separator = nul ? '\0' : '\n';
    std::string::size_type from = 0;
    while (from < text.size()) {
        std::string::size_type stop = std::min(text.find(separator, from), text.size());
        std::string path = text.substr(from, stop - from);
        if (!nul && !path.empty() && path.back() == '\r') path.pop_back();
        if (!path.empty()) paths->push_back(path);
        from = stop + 1;
    }
    return true;
}

// ---- Lines --------------------------------------------------------------------

// The search pattern of the line that holds offset: the whole line, "\" and
// "/" escaped, anchored at both ends; a line longer than limit is cut there
// and anchored at its start only, as a NUL byte cuts it, and as end cuts it
// when the line goes on after end.
void AppendPattern(std::string* out, std::string_view text, std::size_t offset, std::size_t limit,
                   std::size_t end = std::string_view::npos) {
    std::size_t start = text.rfind('\n', offset);
    start = start == std::string_view::npos ? 0 : start + 1;
    std::size_t stop = text.find('\n', offset);
    if (stop == std::string_view::npos) stop = text.size();
    while (stop > start && text[stop - 1] == '\r')
        --stop;
    bool whole = true;
    if (end < stop) {
        stop = end;
        whole = false;
    }
    std::string_view line = text.substr(start, stop - start);
    std::size_t zero = line.find('\0');
    if (zero != std::string_view::npos) {
        line = line.substr(0, zero);
        whole = false;
    }
    if (line.size() > limit) {
        std::size_t cut = limit;
        // Not inside a UTF-8 sequence.
        while (cut > 0 && (static_cast<unsigned char>(line[cut]) & 0xC0) == 0x80)
            --cut;
        line = line.substr(0, cut);
        whole = false;
    }
    *out += "/^";
    // Runs without "\\" or "/" go in whole.
    std::size_t from = 0;
    for (std::size_t i = 0; i < line.size(); ++i) {
        char c = line[i];
        if (c != '\\' && c != '/') continue;
        out->append(line.data() + from, i - from);
        *out += '\\';
        from = i;
    }
    // A "$" that ends the pattern would anchor it: the line's own is escaped.
    if (!line.empty() && line.back() == '$' && from < line.size()) {
        out->append(line.data() + from, line.size() - 1 - from);
        *out += "\\$";
    } else {
        out->append(line.data() + from, line.size() - from);
    }
    *out += whole ? "$/" : "/";
}

// One file's tag lines, with the path as the tags file gives it.
void AppendTagLines(std::string* out, const std::string& written, std::string_view text,
                    const PreciseSymbols& found, const LineForm& form) {
    std::vector<std::string> scopes(form.scope ? found.scopes.size() : 0);
    std::size_t longestScope = 0;
    for (std::size_t i = 0; i < scopes.size(); ++i) {
        scopes[i] = SymbolScope(text, found, static_cast<std::int32_t>(i));
        longestScope = std::max(longestScope, scopes[i].size());
    }
    // Room for every line at once: a generated header gives tens of
    // megabytes, and growing by doubling would hold half as much again.
    std::size_t room = 0;
    for (const PreciseSymbol& s : found.symbols)
        room += s.nameLength;
    room += found.symbols.size() *
            (written.size() + form.patternLimit + form.patternLimit / 8 + longestScope + 48);
    out->reserve(out->size() + room);
    for (const PreciseSymbol& s : found.symbols) {
        if (form.kinds.find(s.kind) == std::string::npos) continue;
        *out += SymbolName(text, s);
        (*out += '\t') += written;
        *out += '\t';
        if (form.patterns) {
            // A macro's pattern ends a byte after its name, as ctags writes
            // it: the jump still lands when the definition's value changes.
            std::size_t end = s.kind == SymbolMacro ? s.nameOffset + s.nameLength + 1
                                                    : std::string_view::npos;
            AppendPattern(out, text, s.nameOffset, form.patternLimit, end);
        } else {
            *out += std::to_string(s.line);
        }
        *out += ";\"";
        if (form.kindLetter) (*out += '\t') += s.kind;
        if (form.kindName) (*out += "\tkind:") += SymbolKindName(s.kind);
        if (form.line) *out += "\tline:" + std::to_string(s.line);
        if (form.scope && s.scope >= 0 && static_cast<std::size_t>(s.scope) < scopes.size())
            (*out += '\t') += scopes[static_cast<std::size_t>(s.scope)];
        if (form.fileScope && s.isStatic) *out += "\tfile:";
        if (form.end && s.end > 0) *out += "\tend:" + std::to_string(s.end);
        *out += '\n';
    }
}

// One file's section of an Emacs TAGS file: each tag the text of its line
// up to the end of its name, DEL, the name, SOH, "LINE,OFFSET".
void AppendEtagsSection(std::string* out, const std::string& written, std::string_view text,
                        const PreciseSymbols& found, const LineForm& form) {
    std::string body;
    for (const PreciseSymbol& s : found.symbols) {
        if (form.kinds.find(s.kind) == std::string::npos) continue;
        std::size_t start = text.rfind('\n', s.nameOffset);
        start = start == std::string_view::npos ? 0 : start + 1;
        std::string_view head = text.substr(start, s.nameOffset + s.nameLength - start);
        // A line splice or a NUL byte would end the text Emacs searches for.
        if (head.find_first_of(std::string_view("\n\0\x7f", 3)) != std::string_view::npos)
            head = SymbolName(text, s);
        body += head;
        body += '\x7f';
        body += SymbolName(text, s);
        body += '\x01';
        body += std::to_string(s.line) + "," + std::to_string(start) + "\n";
    }
    *out += "\f\n" + written + "," + std::to_string(body.size()) + "\n";
    *out += body;
}

// ---- The tags file's own lines ------------------------------------------------

// A file's size and modification time when it was scanned, so that --update
// rescans only the files that changed, and a hash of its tag lines, so that
// a file that changed but gives the same lines (an edit inside a body, a
// touch) costs its stamp only, rewritten where it stands.
constexpr std::string_view StampTag = "!_TAG_KELPIN_FILE\t";
// The options that shape the lines: --update rescans every file when they
// differ from those the file was written with.
constexpr std::string_view FormTag = "!_TAG_KELPIN_FORM\t";

// "SIZE,SECONDS.NANOSECONDS": the nanoseconds in nine digits, so that a
// stamp keeps its length from one touch to the next.
std::string Stamp(const SourceText::Identity& file) {
    char text[80];
    std::snprintf(text, sizeof text, "%lld,%lld.%09ld", static_cast<long long>(file.size),
                  static_cast<long long>(file.modifiedSeconds), file.modifiedNanoseconds);
    return text;
}

// The size and time part of a stamp as written ("STAMP,HASH").
std::string_view StampTime(std::string_view stamp) {
    return stamp.substr(0, stamp.rfind(','));
}

// The hash of a file's tag lines, as sixteen hex digits.
constexpr std::size_t HashDigits = 16;
void PutLinesHash(char* at, std::string_view lines) {
    static const char digits[] = "0123456789abcdef";
    std::uint64_t hash = XXH3_64bits(lines.data(), lines.size());
    for (std::size_t i = HashDigits; i-- > 0; hash >>= 4)
        at[i] = digits[hash & 15];
}

// Starts a file's text with its stamp line, with room for the hash of the
// lines that follow; FinishStamp puts the hash in once they are there.
void StartStamp(std::string* text, const std::string& name, const SourceText::Identity& file) {
    (((*text = StampTag) += name) += "\t/") += Stamp(file);
    text->append(1 + HashDigits, ',');
    *text += "/\n";
}
void FinishStamp(std::string* text) {
    std::size_t feed = text->find('\n');
    PutLinesHash(text->data() + feed - 1 - HashDigits, std::string_view(*text).substr(feed + 1));
}

std::string FormSignature(const LineForm& form, bool relative) {
    std::string s = form.kinds + " ";
    s += form.kindLetter ? "k" : "";
    s += form.kindName ? "K" : "";
    s += form.scope ? "s" : "";
    s += form.fileScope ? "f" : "";
    s += form.line ? "n" : "";
    s += form.end ? "e" : "";
    s += form.patterns ? " pattern " : " line ";
    s += std::to_string(form.patternLimit);
    s += relative ? " relative" : " as-given";
    return s;
}

std::string HeaderLines(SortMode sort, const LineForm& form, bool relative,
                        const std::string& sortName) {
    std::string text = "!_TAG_FILE_FORMAT\t2\t/extended format/\n";
    text += "!_TAG_FILE_SORTED\t";
    text += sort == SortMode::No ? "0" : sort == SortMode::Yes ? "1" : "2";
    text += "\t/0=unsorted, 1=sorted, 2=foldcase/\n";
    (text += FormTag) += FormSignature(form, relative) + " " + sortName + "\t//\n";
    text += "!_TAG_PROGRAM_NAME\tkelpin\t//\n";
    text += "!_TAG_PROGRAM_VERSION\t" KELPIN_VERSION "\t//\n";
    return text;
}

// The output: standard output, or a temporary file beside OUT renamed over
// it once everything is written.
struct Output {
    std::string path; // "-" for standard output
    std::string temp;
    std::string target; // the file the temporary file is renamed to
    int fd = -1;
    bool failed = false;
    int error = 0;       // why it failed
    bool direct = false; // written into, not replaced
};

bool OpenOutput(const std::string& given, Output* out) {
    out->path = given;
    if (given == "-") {
        out->fd = STDOUT_FILENO;
        return true;
    }
    // A link is written where it leads, and stays a link.
    const std::string path = WriteTarget(given);
    struct stat existing;
    if (::stat(path.c_str(), &existing) == 0 && !S_ISREG(existing.st_mode) &&
        !S_ISDIR(existing.st_mode)) {
        // A device or a pipe ("-o /dev/null"): written into, never replaced.
        out->fd = ::open(path.c_str(), O_WRONLY | O_TRUNC | O_CLOEXEC);
        if (out->fd < 0) {
            PrintError(path + ": cannot write the file: " + std::strerror(errno));
            return false;
        }
        out->direct = true;
        return true;
    }
    out->temp = path + ".XXXXXX";
    out->target = path;
    out->fd = ::mkstemp(out->temp.data());
    if (out->fd < 0) {
        PrintError(path + ": cannot write the file: " + std::strerror(errno));
        return false;
    }
    struct stat old;
    mode_t mode = 0666;
    if (::stat(path.c_str(), &old) == 0) {
        mode = old.st_mode & 07777;
    } else {
        mode_t mask = ::umask(0);
        ::umask(mask);
        mode &= ~mask;
    }
    if (::fchmod(out->fd, mode) != 0) out->failed = true;
    return true;
}

void Write(Output* out, std::string_view bytes) {
    while (!out->failed && !bytes.empty()) {
        ssize_t n = ::write(out->fd, bytes.data(), bytes.size());
        if (n < 0 && errno == EINTR) continue;
        if (n <= 0) {
            out->failed = true;
            out->error = n < 0 ? errno : EIO;
            break;
        }
        bytes.remove_prefix(static_cast<std::size_t>(n));
    }
}

// Finishes the output: false, with the error line, when any of it failed,
// and then a file OUT is as it was.
bool CloseOutput(Output* out) {
    if (out->path == "-") {
        if (out->failed) PrintError(std::string("standard output: ") + std::strerror(out->error));
        return !out->failed;
    }
    if (out->direct) {
        if (::close(out->fd) != 0 && !out->failed) out->error = errno;
        if (out->failed || out->error != 0)
            PrintError(out->path +
                       ": cannot write: " + std::strerror(out->error ? out->error : EIO));
        return !out->failed && out->error == 0;
    }
    // No fsync: a tags file is made again from the sources at will, and
    // waiting for the disk to hold a kernel's gigabyte of tags costs more
    // than scanning the kernel. The rename still shows readers the old file
    // or the new one, never a part.
    bool ok = !out->failed;
    if (::close(out->fd) != 0 && ok) {
        ok = false;
        out->error = errno;
    }
    if (ok) {
        if (::rename(out->temp.c_str(), out->target.c_str()) == 0) return true;
        out->error = errno;
    }
    ::unlink(out->temp.c_str());
    PrintError(out->path + ": cannot write: " + std::strerror(out->error ? out->error : EIO) +
               "; it is left as it was");
    return false;
}

// Gives up the output: a file OUT is left as it was.
void AbandonOutput(Output* out) {
    if (out->path == "-" || out->direct) {
        if (out->direct) ::close(out->fd);
        return;
    }
    ::close(out->fd);
    ::unlink(out->temp.c_str());
}

// ---- An existing tags file ------------------------------------------------------

struct Existing {
    std::string form; // FormTag's value
    struct Stamped {
        std::string stamp;
        long long at = -1; // where it stands in the file
    };
    std::unordered_map<std::string, Stamped> stamps;
    std::unordered_map<std::string, std::string> lines; // by the file they name
};

// Reads the tags file at path for -a and --update: its pseudo-tags, and
// with lines its tag lines by the file they name; without, it stops at the
// first tag line and keeps in *tagsAt where the tag lines begin. False, with
// the error line, when it is there but cannot be read or is no tags file.
bool ReadExisting(const std::string& path, bool lines, Existing* existing,
                  long long* tagsAt = nullptr) {
    std::FILE* file = std::fopen(path.c_str(), "rb");
    if (file == nullptr) {
        if (errno == ENOENT) return true; // nothing yet
        PrintError(path + ": " + std::strerror(errno));
        return false;
    }
    std::unique_ptr<std::FILE, int (*)(std::FILE*)> closer(file, std::fclose);
    char* buffer = nullptr;
    std::size_t capacity = 0;
    std::unique_ptr<char, void (*)(void*)> freer(nullptr, std::free);
    bool first = true;
    long long at = 0;
    for (;;) {
        ssize_t n = ::getline(&buffer, &capacity, file);
        freer.release();
        freer.reset(buffer);
        if (n <= 0) break;
        std::string_view line(buffer, static_cast<std::size_t>(n));
        if (first && line.compare(0, 6, "!_TAG_") != 0) {
            PrintError(path + ": not a tags file kelpin can add to");
            return false;
        }
        first = false;
        long long start = at;
        at += n;
        if (line.back() != '\n') continue; // a line cut short is not kept
        if (line.substr(0, StampTag.size()) == StampTag) {
            std::string_view value = line.substr(StampTag.size());
            std::size_t tab = value.find('\t');
            if (tab == std::string_view::npos) continue;
            std::string_view stamp = value.substr(tab + 1);
            long long stampAt = start + static_cast<long long>(StampTag.size() + tab + 1);
            if (stamp.size() >= 3 && stamp[0] == '/') {
                stamp = stamp.substr(1, stamp.find('/', 1) - 1);
                ++stampAt;
            }
            existing->stamps[std::string(value.substr(0, tab))] = {std::string(stamp), stampAt};
            continue;
        }
        if (line.substr(0, FormTag.size()) == FormTag) {
            std::string_view value = line.substr(FormTag.size());
            existing->form = std::string(value.substr(0, value.find('\t')));
            continue;
        }
        if (line[0] == '!') continue;
        if (!lines) {
            if (tagsAt != nullptr) *tagsAt = start;
            return true;
        }
        std::size_t tab = line.find('\t');
        if (tab == std::string_view::npos) continue;
        std::size_t tab2 = line.find('\t', tab + 1);
        if (tab2 == std::string_view::npos) continue;
        existing->lines[std::string(line.substr(tab + 1, tab2 - tab - 1))] += line;
    }
    if (std::ferror(file)) {
        PrintError(path + ": read error");
        return false;
    }
    if (tagsAt != nullptr) *tagsAt = at;
    return true;
}

// What stat finds at path, or nothing when nothing is there.
std::optional<SourceText::Identity> IdentityAt(const std::string& path) {
    struct stat st;
    if (::stat(path.c_str(), &st) != 0) return std::nullopt;
    return IdentityOf(st);
}

// An update that changes stamps only: scans the files whose old lines do
// not stand (keep), on jobs threads, and when each gives the lines it gave
// and a stamp as long as its old one, writes the new stamps over the old
// ones in the file at path. A reader meanwhile sees each stamp old or new;
// a stamp torn by a crash matches no file, so that the next update scans
// that file again. False, with nothing said, at the first file whose lines
// changed or that cannot be read, or when the file cannot be written in
// place (read-only, say): the whole file is written anew then, and that
// says what went wrong.
bool UpdateStampsInPlace(const std::string& path, const std::vector<std::string>& names,
                         const std::vector<char>& keep, const Existing& existing, int jobs,
                         const std::function<FileOutcome(std::size_t)>& scan) {
    std::vector<std::size_t> changed;
    for (std::size_t i = 0; i < keep.size(); ++i)
        if (!keep[i]) changed.push_back(i);
    std::vector<std::string> stamps(changed.size());
    std::atomic<std::size_t> next{0};
    std::atomic<bool> differs{false};
    auto check = [&] {
        for (std::size_t k; (k = next++) < changed.size() && !differs;) {
            std::size_t i = changed[k];
            FileOutcome outcome = scan(i);
            std::string_view text = outcome.text;
            std::size_t open = text.find("\t/"), close = text.find("/\n");
            const std::string& old = existing.stamps.at(names[i]).stamp;
            if (!text.starts_with(StampTag) || open == std::string_view::npos ||
                close == std::string_view::npos) {
                differs = true;
                break;
            }
            std::string_view stamp = text.substr(open + 2, close - open - 2);
            if (stamp.size() != old.size() ||
                stamp.substr(stamp.size() - HashDigits) !=
                    std::string_view(old).substr(old.size() - HashDigits)) {
                differs = true;
                break;
            }
            stamps[k] = stamp;
        }
    };
    RunOnThreads(jobs, changed.size(), check);
    if (differs) return false;
    if (changed.empty()) return true;
    const std::string target = WriteTarget(path);
    int fd = ::open(target.c_str(), O_WRONLY | O_CLOEXEC);
    bool ok = fd >= 0;
    for (std::size_t k = 0; ok && k < changed.size(); ++k) {
        const std::string& stamp = stamps[k];
        ok = ::pwrite(fd, stamp.data(), stamp.size(),
                      static_cast<off_t>(existing.stamps.at(names[changed[k]]).at)) ==
             static_cast<ssize_t>(stamp.size());
    }
    if (fd >= 0 && ::close(fd) != 0) ok = false;
    return ok;
}

// ---- The run ------------------------------------------------------------------

// A value that must be one of choices: false, with the error line, when it
// is not.
bool OneOf(const char* option, const std::string& value,
           std::initializer_list<const char*> choices) {
    std::string list;
    for (const char* choice : choices) {
        if (value == choice) return true;
        list += list.empty() ? choice : std::string(", ") + choice;
    }
    PrintError(std::string(option) + ": \"" + value + "\": give one of " + list);
    return false;
}

int RunTags(TagsOptions options) {
    if (!OneOf("--format", options.format, {"ctags", "etags"}) ||
        !OneOf("--address", options.address, {"pattern", "line"}) ||
        !OneOf("--sort", options.sort, {"yes", "no", "foldcase"}) ||
        (!options.tagRelative.empty() &&
         !OneOf("--tag-relative", options.tagRelative, {"yes", "no"})))
        return ExitUsage;
    if (options.append && options.update) {
        PrintError("-a and --update: give one of them");
        return ExitUsage;
    }
    bool etags = options.etags || options.format == "etags";
    LineForm form;
    form.etags = etags;
    if (!ParseSymbolKinds(options.kinds, &form.kinds)) return ExitUsage;
    if (!ParseFields(options.fields, &form)) return ExitUsage;
    form.patterns = options.address == "pattern";
    form.patternLimit = static_cast<std::size_t>(options.patternLimit);
    SortMode sort = options.sort == "no"         ? SortMode::No
                    : options.sort == "foldcase" ? SortMode::FoldCase
                                                 : SortMode::Yes;
    if (etags) sort = SortMode::No;
    if ((options.append || options.update) && etags) {
        PrintError(std::string(options.update ? "--update" : "-a") +
                   ": works on tags files, not on Emacs TAGS");
        return ExitUsage;
    }
    if (options.out.empty()) options.out = etags ? "TAGS" : "tags";
    if ((options.append || options.update) && options.out == "-") {
        PrintError(std::string(options.update ? "--update" : "-a") +
                   ": needs a tags file to add to, not standard output");
        return ExitUsage;
    }

    FileChoice choice;
    if (!WalkExtensions(options.extensions, &choice.extensions)) return ExitUsage;
    if (!ExpandExcludes(options.excludes, &choice.excludes)) return ExitInput;
    choice.paths = options.paths;
    if (!options.list.empty() && !ReadFileList(options.list, options.nul, &choice.paths))
        return ExitInput;
    if (choice.paths.empty() && options.list.empty()) choice.paths.push_back(".");

    // Paths as the tags file gives them: relative to its folder when it is
    // written elsewhere, so that an editor finds them from there.
    namespace fs = std::filesystem;
    std::error_code error;
    fs::path cwd = fs::current_path(error);
    fs::path outDir = options.out == "-" ? fs::path(".") : fs::path(options.out).parent_path();
    if (outDir.empty()) outDir = ".";
    fs::path base = (cwd / outDir).lexically_normal();
    bool relative = options.tagRelative == "yes";
    if (options.tagRelative.empty() && options.out != "-") {
        bool sameFolder = fs::equivalent(outDir, ".", error);
        if (error) sameFolder = outDir.lexically_normal() == fs::path(".");
        relative = !sameFolder;
    }
    auto written = [&](const std::string& path) -> std::string {
        if (!relative || (!path.empty() && path[0] == '/')) return path;
        return (cwd / path).lexically_normal().lexically_relative(base).generic_string();
    };

    std::vector<std::string> errors;
    std::vector<std::string> files = ChosenFiles(choice, &errors);
    int status = ExitOk;
    for (const std::string& e : errors) {
        PrintError(e);
        status = ExitInput;
    }

    // An update of a sorted file written the same way reads only its
    // pseudo-tags now: its tag lines are merged, as they stand, with the
    // lines of the files scanned again, and those of the files that changed
    // or went are left out on the way.
    Existing existing;
    std::string signature = FormSignature(form, relative) + " " + options.sort;
    long long tagsAt = -1;
    bool merging = false;
    if (options.update && sort != SortMode::No) {
        if (!ReadExisting(options.out, false, &existing, &tagsAt)) return ExitInput;
        merging = existing.form == signature && tagsAt >= 0;
        if (!merging) existing = Existing{};
    }
    if (!merging && (options.append || options.update) &&
        !ReadExisting(options.out, true, &existing))
        return ExitInput;
    if (options.update && existing.form != signature) {
        existing.lines.clear(); // written another way: every file anew
        existing.stamps.clear();
    }

    // OUT is neither one of the files read nor, when it is there, anything but
    // a tags file: a source named by mistake would be lost. The files are
    // compared with OUT as they are read, or as an update finds them.
    std::optional<SourceText::Identity> outFile;
    if (options.out != "-") {
        outFile = IdentityAt(WriteTarget(options.out));
        // A file that is not a tags file may be one of the inputs: that is
        // the first thing to say then.
        if (!options.append && !options.update && !etags && !IsReplaceableTagsFile(options.out)) {
            if (CheckOutputIsNoInput(options.out, files)) CheckReplaceableTagsFile(options.out);
            return ExitUsage;
        }
    }
    std::atomic<std::size_t> clash{files.size()}; // the first input found to be OUT
    auto isOut = [&](std::size_t i, std::uint64_t device, std::uint64_t inode) {
        if (!outFile || outFile->device != device || outFile->inode != inode) return false;
        std::size_t first = clash.load();
        while (i < first && !clash.compare_exchange_weak(first, i)) {
        }
        return true;
    };
    auto refuseClash = [&] {
        PrintError(options.out + ": is the input " + files[clash] +
                   "; not overwritten (choose another -o)");
        return ExitUsage;
    };

    // Each chosen file: its written path, and for an update whether its old
    // lines stand.
    std::vector<std::string> names(files.size());
    std::vector<char> keep(files.size(), 0);
    bool sameFiles = merging; // the files the old file names are those chosen
    for (std::size_t i = 0; i < files.size(); ++i) {
        names[i] = written(files[i]);
        if (names[i].find_first_of("\t\r\n") != std::string::npos) {
            sameFiles = false;
            continue;
        }
        if (!options.update) continue;
        auto stamp = existing.stamps.find(names[i]);
        struct stat st;
        if (::stat(files[i].c_str(), &st) != 0 || !S_ISREG(st.st_mode)) {
            sameFiles = false;
            continue;
        }
        if (isOut(i, st.st_dev, st.st_ino)) continue;
        if (stamp == existing.stamps.end()) {
            sameFiles = false;
            continue;
        }
        keep[i] = StampTime(stamp->second.stamp) == Stamp(IdentityOf(st));
    }
    if (clash < files.size()) return refuseClash();
    if (sameFiles) {
        std::unordered_map<std::string_view, bool> named;
        for (const std::string& name : names)
            named[name] = true;
        sameFiles = named.size() == existing.stamps.size();
    }

    // One file's text: its stamp line, then its tag lines (or its TAGS
    // section). Standard output is never updated: no stamps there.
    const bool stamped = options.out != "-" && !etags;
    auto scan = [&](std::size_t i) {
        const std::string& name = names[i];
        FileOutcome outcome;
        if (name.find_first_of("\t\r\n") != std::string::npos) {
            outcome.problem = "a tab or line end in the name: no tags file can name it";
            return outcome;
        }
        FileBytes file;
        outcome.error = ReadFileBytes(files[i], &file);
        if (outcome.error != 0) return outcome;
        if (isOut(i, file.identity.device, file.identity.inode)) return outcome; // refused below
        if (stamped) StartStamp(&outcome.text, name, file.identity);
        if (options.addIn) {
            // The functions the add-in's scanner finds, at the line it
            // counts (that above the body's opening brace), by number.
            for (const Listed& f : FunctionsOf(file, ScanKind::AddIn, false))
                outcome.text +=
                    f.name + "\t" + name + "\t" + std::to_string(std::max(f.start, 1)) + ";\"\tf\n";
        } else {
            PreciseSymbols found;
            ScanSymbols(file.view(), &found);
            if (etags)
                AppendEtagsSection(&outcome.text, name, file.view(), found, form);
            else
                AppendTagLines(&outcome.text, name, file.view(), found, form);
        }
        if (stamped) FinishStamp(&outcome.text);
        return outcome;
    };

    // Files that changed but give the lines they gave, in a file that names
    // no other: only their stamps change, rewritten where they stand.
    if (sameFiles) {
        if (UpdateStampsInPlace(options.out, names, keep, existing, options.jobs, scan))
            return status;
    }

    Output out;
    if (!OpenOutput(options.out, &out)) return ExitInput;
    std::size_t read = 0; // files whose lines go into OUT
    // Segments go beside the tags file, or to the temporary folder.
    std::string tempBase = options.out;
    if (options.out == "-" || out.direct)
        tempBase = (fs::temp_directory_path(error) / "kelpin-tags").string();
    TagSorter sorter(sort, tempBase, options.jobs);
    std::string stamps; // the files' stamp lines
    bool ok = true;

    auto take = [&](std::string& text) {
        if (etags) {
            Write(&out, text);
            return;
        }
        std::string_view rest = text;
        if (rest.substr(0, StampTag.size()) == StampTag) {
            std::size_t feed = text.find('\n');
            stamps.append(text, 0, feed + 1);
            rest.remove_prefix(feed + 1);
        }
        if (sort == SortMode::No) {
            Write(&out, rest);
        } else if (ok && !sorter.Add(rest)) {
            ok = false;
        }
    };
    // The stamp line of a file whose old lines stand; its lines come from the
    // old file as it is merged (a sorted update), or with it.
    auto takeKept = [&](const std::string& name) {
        std::string text =
            std::string(StampTag) + name + "\t/" + existing.stamps[name].stamp + "/\n";
        auto lines = existing.lines.find(name);
        if (lines != existing.lines.end()) text += lines->second;
        take(text);
    };
    if (!etags) Write(&out, HeaderLines(sort, form, relative, options.sort));

    // Files in the order chosen, whether their lines are kept or scanned
    // now, so that an update gives what a full run gives.
    std::vector<std::size_t> toScan; // indexes of the files scanned now
    for (std::size_t i = 0; i < files.size(); ++i)
        if (!keep[i]) toScan.push_back(i);
    std::size_t keptUpTo = 0;
    int run = ForEachListedFile(
        toScan.size(), options.jobs, [&](std::size_t index) { return scan(toScan[index]); },
        [&](std::size_t index, std::string& text) {
            for (; keptUpTo < toScan[index]; ++keptUpTo)
                if (keep[keptUpTo]) takeKept(names[keptUpTo]);
            keptUpTo = toScan[index] + 1;
            ++read;
            take(text);
        },
        [&](std::size_t index) { return files[toScan[index]]; });
    if (clash < files.size()) {
        AbandonOutput(&out);
        return refuseClash();
    }
    for (; keptUpTo < files.size(); ++keptUpTo)
        if (keep[keptUpTo]) takeKept(names[keptUpTo]);
    if (options.append) {
        // -a: the files not scanned now keep their lines.
        std::unordered_map<std::string, bool> scanned;
        for (const std::string& name : names)
            scanned[name] = true;
        std::vector<std::string> others;
        for (const auto& entry : existing.lines)
            if (!scanned.count(entry.first)) others.push_back(entry.first);
        std::sort(others.begin(), others.end());
        for (const std::string& name : others)
            takeKept(name);
    }
    if (run != ExitOk) status = run;
    // Nothing could be read (a path mistyped): an existing OUT stays as it
    // was rather than become a file of headers only.
    if (status != ExitOk && read == 0 &&
        std::none_of(keep.begin(), keep.end(), [](char k) { return k != 0; }) && !options.append) {
        AbandonOutput(&out);
        if (options.out != "-") PrintError(options.out + ": no file could be read; left as it was");
        return status;
    }

    if (!etags && sort != SortMode::No) {
        // Sorted: the stamps are pseudo-tags, before every tag.
        std::vector<std::string_view> lines;
        std::string_view rest = stamps;
        while (!rest.empty()) {
            std::size_t feed = rest.find('\n');
            lines.push_back(rest.substr(0, feed + 1));
            rest.remove_prefix(feed + 1);
        }
        std::sort(lines.begin(), lines.end());
        std::string text;
        for (std::string_view line : lines)
            text += line;
        Write(&out, text);
    }
    if (ok && sort != SortMode::No) {
        PathSet keptNames;
        OldTagLines old;
        if (merging) {
            for (std::size_t i = 0; i < files.size(); ++i)
                if (keep[i]) keptNames[names[i]] = true;
            old = {options.out, tagsAt, &keptNames};
        }
        ok = sorter.Finish([&](std::string_view bytes) { Write(&out, bytes); },
                           merging ? &old : nullptr);
    }
    if (!etags && sort == SortMode::No) Write(&out, stamps); // unsorted: after the tags
    if (!CloseOutput(&out) || !ok) return ExitInput;
    return status;
}

} // namespace

void AddTagsCommand(CLI::App& app, Commands& commands) {
    auto [command, options] = AddCommand<TagsOptions>(commands, app, Command, RunTags);
    command->add_option("PATH", options.paths,
                        "C source files and directories (default: the current directory)");
    AddOutputOption(command, "-o,--output,-f", &options.out,
                    "write to OUT, replaced atomically (default: tags, TAGS with -e; - for "
                    "standard output)");
    AddWalkOptions(command, &options.jobs, &options.extensions);
    CLI::Option* kinds = AddKindsOption(command, &options.kinds, "tag");
    CLI::Option* fields =
        AddValueOption(command, "--fields", &options.fields, "LETTERS",
                       "the fields after the address: k kind, K kind's name, s scope, f file: for "
                       "static, n line:, e end: (default: ksf; +LETTERS/-LETTERS change it)");
    CLI::Option* address =
        AddValueOption(command, "--address", &options.address, "ADDRESS",
                       "how a tag finds its line: pattern (a search for the line's text, default) "
                       "or line (its number)");
    AddValueOption(command, "--pattern-length-limit", &options.patternLimit, "N",
                   "cut search patterns after N bytes (default: 96)")
        ->check(NumberIn(1, 1 << 20))
        ->type_name("N"); // not the range the check would show
    AddValueOption(command, "--tag-relative", &options.tagRelative, "RELATIVE",
                   "yes: paths relative to the tags file's folder; no: as walked (default: "
                   "yes when OUT is in another folder)");
    CLI::Option* etags =
        command->add_flag("-e", options.etags, "write Emacs' TAGS (--format=etags)");
    CLI::Option* format =
        AddValueOption(command, "--format", &options.format, "FORMAT", "ctags (default) or etags");
    AddValueOption(command, "--sort", &options.sort, "ORDER",
                   "yes: byte order of names (default); foldcase: names without regard to case; "
                   "no: files in walking order, each one's tags in text order");
    AddValueOption(command, "--exclude", &options.excludes, "PATTERN",
                   "leave out files and directories whose name or path PATTERN (a shell glob) "
                   "matches; @FILE reads patterns from FILE, one a line; repeatable");
    AddValueOption(command, "-L", &options.list, "FILE",
                   "read the paths to tag from FILE, one a line (- for standard input)");
    command->add_flag("-0", options.nul, "with -L: the paths are separated by NUL bytes");
    command->add_flag("-a,--append", options.append,
                      "add to the tags file: the files scanned now replace their old tags, "
                      "the others' tags stay");
    CLI::Option* addIn = AddAddInFlag(
        command, &options.addIn,
        "the functions the add-in's scanner finds, addressed by the line it counts (the line "
        "above the body's opening brace), kind f only");
    for (CLI::Option* other : {kinds, fields, address, etags, format})
        addIn->excludes(other);
    command->add_flag("--update", options.update,
                      "rescan only the files whose size or modification time changed since the "
                      "tags file was written, drop those that are gone: the same file a full run "
                      "gives");
    command->footer(
        "Tags of every kind kelpin symbols lists (see kelpin symbols --help), by default all but\n"
        "prototypes and extern declarations. Each is one line, NAME<tab>FILE<tab>ADDRESS;\"\n"
        "then its fields: the kind's letter, its scope (struct:NAME, union:NAME, enum:NAME),\n"
        "file: for a static one. ADDRESS is a search for the whole line, /^...$/, \"\\\" and\n"
        "\"/\" escaped (a line longer than the limit is cut and searched for as a prefix):\n"
        "it still finds the line when lines above it change. The header lines (!_TAG_...)\n"
        "come first; !_TAG_KELPIN_FILE lines record each file's size and time for --update.\n"
        "FILE is the path as walked, or relative to the tags file's folder when it is written\n"
        "in another one. Directories are walked for *.c and *.h (--ext); hidden directories\n"
        "(.git, .hg, .svn among them) are never walked.\n"
        "Examples:\n"
        "  kelpin tags\n"
        "  kelpin tags -o build/tags --exclude 'test*' src include\n"
        "  git ls-files '*.[ch]' | kelpin tags -L -\n"
        "  kelpin tags -e\n"
        "  kelpin tags --update");
}

} // namespace kelpin::cli

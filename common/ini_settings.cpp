#include "common/ini_settings.h"

#include <fcntl.h>
#include <sys/stat.h>
#include <unistd.h>

#include <algorithm>
#include <cctype>
#include <cerrno>
#include <cstdlib>
#include <cstring>
#include <fstream>
#include <system_error>

#include "common/atomic_file.h"
#include "common/language.h"
#include "common/text_format.h"

namespace fs = std::filesystem;

namespace {
// Every value of the suite lives in the registry's section "General"; the windowed store
// keeps it as the INI section [General] too.
constexpr std::string_view kSection = "General";

fs::path UserConfigFolder() {
    if (const char* xdg = std::getenv("XDG_CONFIG_HOME"); xdg != nullptr && *xdg != '\0')
        return xdg;
    if (const char* home = std::getenv("HOME"); home != nullptr && *home != '\0')
        return fs::path(home) / ".config";
    std::error_code ec;
    return fs::current_path(ec);
}

fs::path SystemConfigFolder() {
    if (const char* dirs = std::getenv("XDG_CONFIG_DIRS"); dirs != nullptr && *dirs != '\0') {
        std::string first(dirs);
        first = first.substr(0, first.find(':'));
        if (!first.empty()) return first;
    }
    return "/etc/xdg";
}

std::string_view Trim(std::string_view s) {
    while (!s.empty() && (s.front() == ' ' || s.front() == '\t')) s.remove_prefix(1);
    while (!s.empty() && (s.back() == ' ' || s.back() == '\t' || s.back() == '\r'))
        s.remove_suffix(1);
    return s;
}

int HexDigit(char c) {
    if (c >= '0' && c <= '9') return c - '0';
    if (c >= 'a' && c <= 'f') return c - 'a' + 10;
    if (c >= 'A' && c <= 'F') return c - 'A' + 10;
    return -1;
}

void AppendUtf8(std::string& out, unsigned code) {
    if (code < 0x80) {
        out.push_back(static_cast<char>(code));
    } else if (code < 0x800) {
        out.push_back(static_cast<char>(0xC0 | (code >> 6)));
        out.push_back(static_cast<char>(0x80 | (code & 0x3F)));
    } else {
        out.push_back(static_cast<char>(0xE0 | ((code >> 12) & 0x0F)));
        out.push_back(static_cast<char>(0x80 | ((code >> 6) & 0x3F)));
        out.push_back(static_cast<char>(0x80 | (code & 0x3F)));
    }
}

// Keys are written as they are (the suite's keys are plain names); %XX and %UXXXX, which the
// windowed store writes for other characters, are read back.
std::string DecodeKey(std::string_view key) {
    std::string out;
    for (size_t i = 0; i < key.size(); ++i) {
        if (key[i] == '%' && i + 5 < key.size() && key[i + 1] == 'U') {
            unsigned code = 0;
            bool ok = true;
            for (size_t k = 2; k < 6; ++k) {
                const int d = HexDigit(key[i + k]);
                ok = ok && d >= 0;
                code = code * 16 + static_cast<unsigned>(d < 0 ? 0 : d);
            }
            if (ok) {
                AppendUtf8(out, code);
                i += 5;
                continue;
            }
        }
        if (key[i] == '%' && i + 2 < key.size() && HexDigit(key[i + 1]) >= 0 &&
            HexDigit(key[i + 2]) >= 0) {
            out.push_back(static_cast<char>(HexDigit(key[i + 1]) * 16 + HexDigit(key[i + 2])));
            i += 2;
            continue;
        }
        out.push_back(key[i]);
    }
    return out;
}

// Control characters written as a backslash and a letter, and their letters.
constexpr const char kEscaped[] = "\a\b\f\n\r\t\v";
constexpr const char kEscapeLetter[] = "abfnrtv";

// Keys and section names keep letters, digits, '_', '-', '.' and blanks inside; every other
// byte becomes %XX, so that no key can be taken for a section, a comment or a value.
std::string EncodeKey(std::string_view key) {
    std::string out;
    for (size_t i = 0; i < key.size(); ++i) {
        const auto c = static_cast<unsigned char>(key[i]);
        const bool bInside = i > 0 && i + 1 < key.size();
        if (std::isalnum(c) != 0 || c == '_' || c == '-' || c == '.' || (c == ' ' && bInside))
            out.push_back(static_cast<char>(c));
        else
            out += FormatC("%%%02X", c);
    }
    return out;
}

}  // namespace

fs::path SettingsFilePath(SettingsScope scope, std::string_view programTitle) {
    switch (scope) {
        case SettingsScope::Profile:
            return UserConfigFolder() / kSuiteProfileName / (std::string(programTitle) + ".ini");
        case SettingsScope::SuiteUser:
            return UserConfigFolder() / (std::string(kSuiteProfileName) + ".ini");
        case SettingsScope::Plotter:
            return UserConfigFolder() / "Rundle" / "Setting.ini";
        case SettingsScope::SuiteMachine:
            return SystemConfigFolder() / "Pelmo" / "Setting.ini";
    }
    return {};
}

// ---------------------------------------------------------------------------------------------
// The document

CIniDocument::Section& CIniDocument::SectionNamed(std::string_view name) {
    const auto [it, bNew] = sectionIndex_.try_emplace(std::string(name), sections_.size());
    if (bNew) sections_.push_back({std::string(name), {}, {}});
    return sections_[it->second];
}

void CIniDocument::Parse(std::string_view text) {
    sections_.clear();
    sectionIndex_.clear();
    Section* current = nullptr;
    size_t start = 0;
    while (start < text.size()) {
        size_t end = text.find('\n', start);
        if (end == std::string_view::npos) end = text.size();
        const std::string_view line = Trim(text.substr(start, end - start));
        start = end + 1;
        if (line.empty() || line[0] == ';' || line[0] == '#') continue;
        if (line[0] == '[') {
            const size_t close = line.find(']');
            if (close == std::string_view::npos) continue;
            // A section named twice is one section: the keys of both, in order.
            current = &SectionNamed(DecodeKey(line.substr(1, close - 1)));
            continue;
        }
        const size_t eq = line.find('=');
        if (eq == std::string_view::npos) continue;
        if (current == nullptr) current = &SectionNamed(kSection);
        std::string key = DecodeKey(Trim(line.substr(0, eq)));
        std::string value = DecodeValue(line.substr(eq + 1));
        const auto [it, bNew] = current->index.try_emplace(key, current->keys.size());
        if (bNew)
            current->keys.emplace_back(std::move(key), std::move(value));
        else
            current->keys[it->second].second = std::move(value);  // the last of a repeated key
                                                                  // holds, as in the other store
    }
}

std::string CIniDocument::Text() const {
    std::string out;
    for (const auto& s : sections_) {
        if (!out.empty()) out += "\r\n";
        out += "[" + EncodeKey(s.sName) + "]\r\n";
        for (const auto& [key, value] : s.keys) {
            out += EncodeKey(key);
            out += '=';
            out += EncodeValue(value);
            out += "\r\n";
        }
    }
    return out;
}

const std::string* CIniDocument::Find(std::string_view section, std::string_view key) const {
    const auto s = sectionIndex_.find(std::string(section));
    if (s == sectionIndex_.end()) return nullptr;
    const Section& sec = sections_[s->second];
    const auto k = sec.index.find(std::string(key));
    return k == sec.index.end() ? nullptr : &sec.keys[k->second].second;
}

void CIniDocument::Set(std::string_view section, std::string_view key, std::string_view value) {
    Section& target = SectionNamed(section);
    const auto [it, bNew] = target.index.try_emplace(std::string(key), target.keys.size());
    if (bNew)
        target.keys.emplace_back(std::string(key), std::string(value));
    else
        target.keys[it->second].second.assign(value);
}

size_t CIniDocument::KeyCount() const {
    size_t n = 0;
    for (const auto& s : sections_) n += s.keys.size();
    return n;
}

std::string CIniDocument::EncodeValue(std::string_view value) {
    std::string out;
    // A value beginning with '@' would be taken for a typed value: the '@' is doubled.
    if (!value.empty() && value[0] == '@') out.push_back('@');
    bool bQuote = !value.empty() && (value.front() == ' ' || value.back() == ' ');
    bool bHexBefore = false;  // a digit right after a \x escape would join it
    for (const char ch : value) {
        const auto c = static_cast<unsigned char>(ch);
        if (ch == ';' || ch == ',' || ch == '=') bQuote = true;
        if (bHexBefore && HexDigit(ch) >= 0) {
            out += FormatC("\\x%x", c);
            continue;
        }
        bHexBefore = false;
        if (const char* e = std::strchr(kEscaped, ch); e != nullptr && ch != '\0') {
            out.push_back('\\');
            out.push_back(kEscapeLetter[e - kEscaped]);
            continue;
        }
        switch (ch) {
            case '"':
            case '\\':
                out.push_back('\\');
                out.push_back(ch);
                break;
            default:
                if (c < 0x20 || c == 0x7F) {
                    out += FormatC("\\x%x", c);
                    bHexBefore = true;
                } else {
                    out.push_back(ch);  // UTF-8 as it is
                }
        }
    }
    return bQuote ? "\"" + out + "\"" : out;
}

std::string CIniDocument::DecodeValue(std::string_view text) {
    text = Trim(text);
    std::string out;
    bool bInQuotes = false;
    for (size_t i = 0; i < text.size(); ++i) {
        const char ch = text[i];
        if (ch == '"') {
            bInQuotes = !bInQuotes;
            continue;
        }
        if (!bInQuotes && ch == ',') {
            // A list in the other store's terms; read here as the text of its items.
            while (!out.empty() && out.back() == ' ') out.pop_back();
            out += ", ";
            while (i + 1 < text.size() && text[i + 1] == ' ') ++i;
            continue;
        }
        if (!bInQuotes && ch == ';') break;  // a comment follows
        if (ch != '\\' || i + 1 >= text.size()) {
            out.push_back(ch);
            continue;
        }
        const char e = text[++i];
        if (const char* k = std::strchr(kEscapeLetter, e); k != nullptr && e != '\0') {
            out.push_back(kEscaped[k - kEscapeLetter]);
            continue;
        }
        switch (e) {
            case '0':
                out.push_back('\0');
                break;
            case 'x': {
                unsigned code = 0;
                size_t n = 0;
                while (i + 1 < text.size() && HexDigit(text[i + 1]) >= 0 && n < 4) {
                    code = code * 16 + static_cast<unsigned>(HexDigit(text[++i]));
                    ++n;
                }
                AppendUtf8(out, code);
                break;
            }
            default:
                out.push_back(e);  // \" \\ \' \?
        }
    }
    if (out.size() >= 2 && out[0] == '@' && out[1] == '@') out.erase(0, 1);
    return out;
}

// ---------------------------------------------------------------------------------------------
// The backend

std::string SettingsFileProblem(const fs::path& path) {
    struct stat st {};
    if (::stat(path.c_str(), &st) != 0)
        return errno == ENOENT ? std::string() : path.string() + ": " + std::strerror(errno);
    if (S_ISDIR(st.st_mode)) return path.string() + ": " + std::strerror(EISDIR);
    if (!S_ISREG(st.st_mode))
        return path.string() + ": " + Tr("it is not a regular file", "通常のファイルではありません");
    const int fd = ::open(path.c_str(), O_RDONLY | O_CLOEXEC);
    if (fd < 0) return path.string() + ": " + std::strerror(errno);
    ::close(fd);
    return {};
}

bool CIniSettingsBackend::FileStamp::operator==(const FileStamp& o) const {
    return bExists == o.bExists && device == o.device && inode == o.inode && size == o.size &&
           changed.tv_sec == o.changed.tv_sec && changed.tv_nsec == o.changed.tv_nsec &&
           modified.tv_sec == o.modified.tv_sec && modified.tv_nsec == o.modified.tv_nsec;
}

CIniSettingsBackend::FileStamp CIniSettingsBackend::StampOf(const fs::path& path) {
    FileStamp stamp;
    struct stat st {};
    if (::stat(path.c_str(), &st) != 0) return stamp;
    stamp.bExists = true;
    stamp.device = st.st_dev;
    stamp.inode = st.st_ino;
    stamp.size = st.st_size;
    stamp.changed = st.st_ctim;
    stamp.modified = st.st_mtim;
    return stamp;
}

CIniSettingsBackend::Cached& CIniSettingsBackend::Current(SettingsScope scope) {
    Cached& c = cache_[static_cast<int>(scope)];
    // The path is made again only when the variables it is made from changed (a read costs
    // little more than the stat below).
    std::string environment;
    for (const char* name : {"XDG_CONFIG_HOME", "HOME", "XDG_CONFIG_DIRS"}) {
        const char* value = std::getenv(name);
        environment += value != nullptr ? value : "";
        environment.push_back('\0');
    }
    if (c.path.empty() || environment != c.sEnvironment) {
        c.sEnvironment = std::move(environment);
        c.path = FileOf(scope);
        c.bLoaded = false;
    }
    const fs::path& path = c.path;
    const FileStamp stamp = StampOf(path);
    if (c.bLoaded && stamp == c.stamp) return c;
    c.bLoaded = true;
    c.stamp = stamp;
    c.doc.Parse({});
    c.sProblem = SettingsFileProblem(path);
    if (!stamp.bExists || !c.sProblem.empty()) return c;
    std::string text;
    const int fd = ::open(path.c_str(), O_RDONLY | O_CLOEXEC);
    bool ok = fd >= 0;
    if (ok) {
        text.resize(static_cast<size_t>(std::max<off_t>(stamp.size, 0)));
        size_t got = 0;
        for (;;) {
            if (got == text.size()) text.resize(text.size() + 65536);  // grew since the stat
            const ssize_t n = ::read(fd, text.data() + got, text.size() - got);
            if (n < 0 && errno == EINTR) continue;
            if (n <= 0) {
                ok = n == 0;
                break;
            }
            got += static_cast<size_t>(n);
        }
        if (!ok) c.sProblem = path.string() + ": " + std::strerror(errno);
        ::close(fd);
        text.resize(got);
    } else {
        c.sProblem = path.string() + ": " + std::strerror(errno);
    }
    if (ok) c.doc.Parse(text);
    return c;
}

std::string CIniSettingsBackend::FileProblem(SettingsScope scope) {
    return Current(scope).sProblem;
}

std::optional<std::string> CIniSettingsBackend::ReadString(SettingsScope scope,
                                                           std::string_view key) {
    const std::string* value = Current(scope).doc.Find(kSection, key);
    if (value == nullptr) return std::nullopt;
    return *value;
}

std::optional<int> CIniSettingsBackend::ReadInt(SettingsScope scope, std::string_view key) {
    const auto text = ReadString(scope, key);
    if (!text) return std::nullopt;
    const std::string_view t = Trim(*text);
    int value = 0;
    size_t used = 0;
    if (!ScanInt(t, value, &used) || used != t.size()) return std::nullopt;
    return value;
}

bool CIniSettingsBackend::WriteInt(SettingsScope scope, std::string_view key, int value) {
    return WriteString(scope, key, FormatC("%d", value));
}

bool CIniSettingsBackend::WriteString(SettingsScope scope, std::string_view key,
                                      std::string_view value) {
    Cached& c = Current(scope);
    const fs::path path = c.path;
    // Writing over a file that could not be read would lose every value it holds.
    if (!c.sProblem.empty()) return false;
    if (const std::string* now = c.doc.Find(kSection, key); now != nullptr && *now == value)
        return true;
    CIniDocument& doc = c.doc;
    doc.Set(kSection, key, value);
    // Until the file holds the value, the next read parses the file again.
    c.bLoaded = false;
    std::error_code ec;
    fs::create_directories(path.parent_path(), ec);
    const std::string text = doc.Text();
    bool ok = false;
    if (scope == SettingsScope::SuiteUser) {
        // The suite's live values (the latest GPS fix, many a second): replaced through a
        // temporary and a rename as well, but not forced to the disk each time.
        const fs::path temporary = path.string() + FormatC(".%ld.tmp", static_cast<long>(getpid()));
        {
            std::ofstream out(temporary, std::ios::binary | std::ios::trunc);
            out << text;
            out.flush();
            if (!out) {
                fs::remove(temporary, ec);
                return false;
            }
        }
        fs::rename(temporary, path, ec);
        if (ec) fs::remove(temporary, ec);
        ok = !ec;
    } else {
        CAtomicFile file;
        if (!file.Create(path)) return false;
        if (std::fwrite(text.data(), 1, text.size(), file.Stream()) != text.size()) {
            file.MarkFailed(errno);
            return false;
        }
        ok = file.Commit().ok();
    }
    if (ok) {
        // The file now holds the document: no need to read it back.
        c.bLoaded = true;
        c.stamp = StampOf(path);
    }
    return ok;
}

// kalvora-cli keys [FILE]: feeds a script of command ids and window events to
// the calculator engine and prints what the window would show.
//
// Tokens (white space separated, '#' starts a comment to the end of the line):
//   2000..2015, 1024, ...   a command id of the main window
//   radix=N                 the radix edit's text becomes N
//   modulus=T               modulus dialog: edit text T (at most 817 characters), then OK
//   modulus-cancel=T        the same, then cancel
//   clip=T                  the clipboard holds the plain text T (\r \n \s \\ escapes)
//   clip-none               the clipboard holds no plain text
//   display=T               the user replaces the main display's text with T (escapes as
//                           clip=; upper-cased and cut to 1617 characters, as the edit does)
//   show                    print the state line
// Output: "box[CAPTION]: TEXT" per message box, "clip<-TEXT" per clipboard
// write, and the state line for show and once at the end.

#include <fcntl.h>
#include <sys/stat.h>
#include <unistd.h>

#include <cerrno>
#include <cstdio>
#include <cstring>
#include <map>
#include <optional>
#include <string>
#include <vector>

#include "bigint/message_box.h"
#include "calc/calc_engine.h"

namespace {

// A script is read whole, up to this size; a larger one (or an endless
// stream such as /dev/zero) is refused before it can exhaust the memory.
constexpr size_t SCRIPT_LIMIT = size_t{64} << 20;

// Reads the whole of `fd` into `script`; returns an error text, empty on success.
std::string ReadScript(int fd, std::string& script) {
    struct stat info;
    if (fstat(fd, &info) == 0 && S_ISDIR(info.st_mode)) return std::strerror(EISDIR);
    char buffer[1 << 16];
    for (;;) {
        const ssize_t n = read(fd, buffer, sizeof buffer);
        if (n == 0) return "";
        if (n < 0) {
            if (errno == EINTR) continue;
            return std::strerror(errno);
        }
        if (script.size() + static_cast<size_t>(n) > SCRIPT_LIMIT) return "larger than 64 MiB, refused";
        script.append(buffer, static_cast<size_t>(n));
    }
}

// The edits hold at most this many characters: the main display, the modulus edit.
constexpr size_t VALUE_TEXT_LIMIT = 1617;
constexpr size_t MODULUS_TEXT_LIMIT = 817;

struct Token {
    enum Kind { COMMAND, RADIX, MODULUS, MODULUS_CANCEL, CLIP, CLIP_NONE, DISPLAY, SHOW };
    Kind kind;
    int id = 0;
    std::string text;
};

bool Unescape(const std::string& in, std::string& out) {
    out.clear();
    for (size_t i = 0; i < in.size(); ++i) {
        if (in[i] != '\\') {
            out += in[i];
            continue;
        }
        if (++i == in.size()) return false;
        switch (in[i]) {
            case 'r': out += '\r'; break;
            case 'n': out += '\n'; break;
            case 's': out += ' '; break;
            case '\\': out += '\\'; break;
            default: return false;
        }
    }
    return true;
}

bool StartsWith(const std::string& s, const char* prefix, std::string& rest) {
    const std::string p(prefix);
    if (s.compare(0, p.size(), p) != 0) return false;
    rest = s.substr(p.size());
    return true;
}

// Commands of the main window that open a window or end the program: there is
// no window here (the modulus dialog has its own tokens).
bool IsWindowCommand(int id) {
    return id == ID_MODULUS_DLG || (id >= 32791 && id <= 32794) || id == 57664 || id == 57665 ||
           id == 57670 || id == 16;
}

std::optional<Token> ParseToken(const std::string& word) {
    std::string rest;
    if (word.find_first_not_of("0123456789") == std::string::npos) {
        if (word.size() > 9) return std::nullopt;
        const int id = std::stoi(word);
        if (!CalcEngine::IsEngineCommand(id)) return std::nullopt;
        return Token{Token::COMMAND, id, {}};
    }
    if (word == "show") return Token{Token::SHOW, 0, {}};
    if (word == "clip-none") return Token{Token::CLIP_NONE, 0, {}};
    if (StartsWith(word, "radix=", rest)) return Token{Token::RADIX, 0, rest};
    if (StartsWith(word, "modulus=", rest)) return Token{Token::MODULUS, 0, rest};
    if (StartsWith(word, "modulus-cancel=", rest)) return Token{Token::MODULUS_CANCEL, 0, rest};
    std::string text;
    if (StartsWith(word, "clip=", rest)) {
        if (!Unescape(rest, text)) return std::nullopt;
        return Token{Token::CLIP, 0, text};
    }
    if (StartsWith(word, "display=", rest)) {
        if (!Unescape(rest, text)) return std::nullopt;
        return Token{Token::DISPLAY, 0, text};
    }
    return std::nullopt;
}

// Splits the script into words, dropping comments.
std::vector<std::string> Words(const std::string& script) {
    std::vector<std::string> words;
    std::string word;
    bool comment = false;
    for (char c : script) {
        if (comment) {
            if (c == '\n') comment = false;
            continue;
        }
        if (c == '#') comment = true;
        if (c == '#' || c == ' ' || (c >= '\t' && c <= '\r')) {
            if (!word.empty()) words.push_back(word);
            word.clear();
        } else {
            word += c;
        }
    }
    if (!word.empty()) words.push_back(word);
    return words;
}

std::string EscapeLineBreaks(const std::string& text) {
    std::string out;
    for (char c : text) {
        if (c == '\r') {
            out += "\\r";
        } else if (c == '\n') {
            out += "\\n";
        } else {
            out += c;
        }
    }
    return out;
}

// The window as the script sees it: displays, digit buttons, clipboard and
// boxes, printed as they happen.
class ScriptWindow : public CalcView, public ModulusDlgView, public MessageBoxPresenter {
public:
    std::map<int, std::string> displays;
    std::optional<std::string> clipboard;
    std::string modulusEdit;

    void SetDisplayText(int controlId, const std::string& text) override { displays[controlId] = text; }
    void EnableDigitButton(int, bool) override {}
    void ShowMessage(const std::string& text, const std::string& caption) override {
        std::printf("box[%s]: %s\n", caption.c_str(), EscapeLineBreaks(text).c_str());
    }
    void ShowMessageBox(const std::string& text, const std::string& caption) override {
        ShowMessage(text, caption);
    }
    std::optional<std::string> ReadClipboardText() override { return clipboard; }
    void WriteClipboardText(const std::string& text) override {
        clipboard = text;
        std::printf("clip<-%s\n", text.c_str());
    }
    void SetEditText(const std::string& text) override { modulusEdit = text; }
};

void PrintState(ScriptWindow& window, const CalcEngine& engine) {
    std::printf("value=%s remainder=%s memory=%s op=\"%s\" radix=%u\n",
                window.displays[IDC_VALUE].c_str(), window.displays[IDC_REMAINDER].c_str(),
                window.displays[IDC_MEMORY].c_str(), window.displays[IDC_OPERATOR].c_str(),
                engine.m_radix);
}

void RunModulusDlg(CalcEngine& engine, ScriptWindow& window, const std::string& text, bool ok) {
    ModulusDlgLogic dlg = engine.OpenModulusDlg();
    window.modulusEdit = text.substr(0, MODULUS_TEXT_LIMIT);
    dlg.OnChangeEdit(window.modulusEdit, window);
    engine.EndModulusDlg(dlg, ok);
}

}  // namespace

int RunKeysCommand(int argc, char** argv) {
    if (argc > 1) {
        std::fprintf(stderr, "usage: kalvora-cli keys [FILE]\n");
        return 2;
    }
    std::string script;
    const char* name = argc == 1 ? argv[0] : "standard input";
    const int fd = argc == 1 ? open(argv[0], O_RDONLY | O_CLOEXEC) : STDIN_FILENO;
    const std::string error = fd < 0 ? std::strerror(errno) : ReadScript(fd, script);
    if (fd > STDIN_FILENO) close(fd);
    if (!error.empty()) {
        std::fprintf(stderr, "kalvora-cli keys: cannot read %s: %s\n", name, error.c_str());
        return 2;
    }

    std::vector<Token> tokens;
    for (const std::string& word : Words(script)) {
        std::optional<Token> token = ParseToken(word);
        if (!token) {
            const bool windowCommand = word.size() <= 9 &&
                                       word.find_first_not_of("0123456789") == std::string::npos &&
                                       IsWindowCommand(std::stoi(word));
            // A token as long as the script itself is shown by its start.
            const std::string shown = word.size() > 80 ? word.substr(0, 80) + "..." : word;
            std::fprintf(stderr, "kalvora-cli keys: unknown token '%s'%s\n", shown.c_str(),
                         windowCommand ? " (a window command; modulus=T sets the modulus)" : "");
            return 2;
        }
        tokens.push_back(*token);
    }

    ScriptWindow window;
    InstallMessageBoxPresenter(&window);
    CalcEngine engine(&window);
    engine.OnStartUp();
    engine.OnInitDialog();

    for (const Token& token : tokens) {
        switch (token.kind) {
            case Token::COMMAND: engine.OnCommand(token.id); break;
            case Token::RADIX: engine.OnRadixTextChanged(token.text); break;
            case Token::MODULUS: RunModulusDlg(engine, window, token.text, true); break;
            case Token::MODULUS_CANCEL: RunModulusDlg(engine, window, token.text, false); break;
            case Token::CLIP: window.clipboard = token.text; break;
            case Token::CLIP_NONE: window.clipboard.reset(); break;
            case Token::DISPLAY: {
                // The main display is an upper-case edit of limited length.
                std::string text = token.text.substr(0, VALUE_TEXT_LIMIT);
                for (char& c : text) {
                    if (c >= 'a' && c <= 'z') c = static_cast<char>(c - 'a' + 'A');
                }
                window.displays[IDC_VALUE] = text;
                engine.OnValueTextChanged(text);
                break;
            }
            case Token::SHOW: PrintState(window, engine); break;
        }
    }
    PrintState(window, engine);
    InstallMessageBoxPresenter(nullptr);
    std::fflush(stdout);
    return 0;
}

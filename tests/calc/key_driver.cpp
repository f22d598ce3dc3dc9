#include "tests/calc/key_driver.h"

#include <sstream>

namespace {

const std::map<std::string, int>& KeyNames() {
    static const std::map<std::string, int> names = {
        {"+", ID_ADD},        {"-", ID_SUB},         {"*", ID_MUL},         {"/", ID_DIV},
        {"=", ID_EQUALS},     {"MOD", ID_MOD},       {"LCM", ID_LCM},       {"GCD", ID_GCD},
        {"AND", ID_AND},      {"OR", ID_OR},         {"XOR", ID_XOR},       {"X^Y", ID_POW},
        {"X^2", ID_SQUARE},   {"!", ID_FACTORIAL},   {"SQRT", ID_SQRT},     {"ROOT", ID_ROOT},
        {"PMD", ID_POWMOD},   {"1/X", ID_INVERSE},   {"nPr", ID_NPR},       {"nCr", ID_NCR},
        {"Back", ID_BACK},    {"CE", ID_CE},         {"Clear", ID_C},       {"AllClear", ID_AC},
        {"+/-", ID_PLUSMINUS}, {"MC", ID_MC},        {"MR", ID_MR},         {"MS", ID_MS},
        {"M+", ID_MPLUS},     {"CopyV", ID_COPY_VALUE}, {"CopyR", ID_COPY_REMAINDER},
        {"CopyM", ID_COPY_MEMORY}, {"PasteV", ID_PASTE_VALUE}, {"PasteM", ID_PASTE_MEMORY},
    };
    return names;
}

std::string Unescape(const std::string& in) {
    std::string out;
    for (size_t i = 0; i < in.size(); ++i) {
        if (in[i] == '\\' && i + 1 < in.size()) {
            const char c = in[++i];
            out += c == 'n' ? '\n' : c == 'r' ? '\r' : c == 's' ? ' ' : c;
        } else {
            out += in[i];
        }
    }
    return out;
}

bool After(const std::string& word, const std::string& prefix, std::string& rest) {
    if (word.compare(0, prefix.size(), prefix) != 0) return false;
    rest = word.substr(prefix.size());
    return true;
}

}  // namespace

bool Calculator::Keys(const std::string& keys, std::string* badWord) {
    std::istringstream words(keys);
    std::string word;
    std::string rest;
    while (words >> word) {
        auto named = KeyNames().find(word);
        if (named != KeyNames().end()) {
            engine.OnCommand(named->second);
        } else if (word[0] == '#' && word.size() > 1) {
            engine.OnCommand(std::stoi(word.substr(1)));
        } else if (After(word, "radix=", rest)) {
            engine.OnRadixTextChanged(rest);
        } else if (After(word, "mod=", rest) || After(word, "modcancel=", rest)) {
            ModulusDlgLogic dlg = engine.OpenModulusDlg();
            window.modulusEdit = rest;
            dlg.OnChangeEdit(rest, window);
            engine.EndModulusDlg(dlg, word[3] == '=');
        } else if (After(word, "clip=", rest)) {
            window.clipboard = Unescape(rest);
        } else if (word == "noclip") {
            window.clipboard.reset();
        } else if (After(word, "display=", rest)) {
            window.displays[IDC_VALUE] = Unescape(rest);
            engine.OnValueTextChanged(Unescape(rest));
        } else if (word.find_first_not_of("0123456789ABCDEF") == std::string::npos) {
            for (char c : word) engine.OnCommand(ID_DIGIT_0 + (c <= '9' ? c - '0' : c - 'A' + 10));
        } else {
            if (badWord) *badWord = word;
            return false;
        }
    }
    return true;
}

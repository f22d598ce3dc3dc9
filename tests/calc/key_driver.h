#pragma once
// Test harness for the calculator engine: a window that records what the
// engine does to it, and a small key language for table rows.
//
// Key words, separated by blanks:
//   27, FF            digits, one key per character (0-9, A-F)
//   + - * / = MOD LCM GCD AND OR XOR X^Y X^2 ! SQRT ROOT PMD 1/X nPr nCr
//   Back CE Clear AllClear +/- MC MR MS M+
//   CopyV CopyR CopyM PasteV PasteM
//   #1234             the command id 1234
//   radix=T           the radix edit's text becomes T
//   mod=T, modcancel=T   the modulus dialog with edit text T, then OK / cancel
//   clip=T            clipboard text T (\n, \r, \s escapes); noclip: no plain text
//   display=T         the user puts T into the main display (escapes as clip=)

#include <map>
#include <optional>
#include <string>
#include <vector>

#include "bigint/message_box.h"
#include "calc/calc_engine.h"

class RecordingWindow : public CalcView, public ModulusDlgView, public MessageBoxPresenter {
public:
    std::map<int, std::string> displays;
    bool digitEnabled[16] = {};
    std::optional<std::string> clipboard;
    std::string modulusEdit;
    /// Boxes and clipboard writes: "box[CAPTION]: TEXT", "clip<-TEXT".
    std::vector<std::string> events;
    /// Every call in order, display writes included: "set[ID]=TEXT", "edit=TEXT", and the events.
    std::vector<std::string> log;

    void SetDisplayText(int controlId, const std::string& text) override {
        displays[controlId] = text;
        log.push_back("set[" + std::to_string(controlId) + "]=" + text);
    }
    void EnableDigitButton(int id, bool enabled) override { digitEnabled[id - ID_DIGIT_0] = enabled; }
    void ShowMessage(const std::string& text, const std::string& caption) override {
        Event("box[" + caption + "]: " + text);
    }
    void ShowMessageBox(const std::string& text, const std::string& caption) override {
        Event("arith-box[" + caption + "]: " + text);
    }
    std::optional<std::string> ReadClipboardText() override { return clipboard; }
    void WriteClipboardText(const std::string& text) override {
        clipboard = text;
        Event("clip<-" + text);
    }
    void SetEditText(const std::string& text) override {
        modulusEdit = text;
        log.push_back("edit=" + text);
    }

private:
    void Event(const std::string& e) {
        events.push_back(e);
        log.push_back(e);
    }
};

/// An engine after start-up and window initialisation, wired to a recorder.
struct Calculator {
    RecordingWindow window;
    CalcEngine engine{&window};

    Calculator() {
        InstallMessageBoxPresenter(&window);
        engine.OnStartUp();
        engine.OnInitDialog();
        window.events.clear();
        window.log.clear();
    }
    ~Calculator() { InstallMessageBoxPresenter(nullptr); }
    Calculator(const Calculator&) = delete;
    Calculator& operator=(const Calculator&) = delete;

    /// Runs the key words; returns false (and names the word) on a word it does not know.
    bool Keys(const std::string& keys, std::string* badWord = nullptr);

    const std::string& Value() { return window.displays[IDC_VALUE]; }
    const std::string& Remainder() { return window.displays[IDC_REMAINDER]; }
    const std::string& Memory() { return window.displays[IDC_MEMORY]; }
    const std::string& Op() { return window.displays[IDC_OPERATOR]; }
};

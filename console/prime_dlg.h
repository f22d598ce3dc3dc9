#pragma once
// The prime console: tests one target for pseudo-primality or searches it for
// a prime factor. The computation runs on a worker thread; this dialog
// prepares the run, locks its inputs while the worker runs, offers the abort
// button and restores the controls when the worker has ended. The worker
// itself reports its result through the installed message-box presenter.

#include <QDialog>
#include <QString>
#include <functional>

#include "console/prime_settings.h"
#include "widgets/dialog_support.h"

class QButtonGroup;
class QLabel;
class QLayout;
class QCheckBox;
class QLineEdit;
class QPushButton;
class QRadioButton;

/// Control ids of the prime console.
enum PrimeDlgId {
    IDC_PRIME_TARGET = 1100,
    IDC_PRIME_PSEUDO = 1101,
    IDC_PRIME_TEST = 1102,
    IDC_PRIME_FACTOR = 1103,
    IDC_PRIME_TRIALS = 1095,
    IDC_PRIME_TRIALS_SPIN = 1096,
    IDC_METHOD_TRIAL_DIVISION = 1106,
    IDC_METHOD_RHO = 1105,
    IDC_METHOD_PM1 = 1107,
    IDC_METHOD_ECM = 1108,
    IDC_METHOD_MPQS = 1112,
    IDC_METHOD_NFS = 1110,
    IDC_METHOD_FACTORISE = 1111,
    IDC_SETTINGS_TRIAL_DIVISION = 1115,
    IDC_SETTINGS_RHO = 1113,
    IDC_SETTINGS_PM1 = 1114,
    IDC_SETTINGS_ECM = 1126,
    IDC_SETTINGS_MPQS = 1127,
    IDC_SETTINGS_NFS = 1128,
    IDC_TRIAL_DIVISION_FIRST = 1116,
    IDC_NEXT_PRIME = 1135,
    IDC_PREVIOUS_PRIME = 1136,
    IDC_START = 1097,
    IDC_ABORT = 1094,
    IDC_LOWER_PRIORITY = 1129,
    IDC_PROGRESS_LINE = 1137,
    IDC_PRIME_OK = 1,
    IDC_PRIME_CANCEL = 2,
};

/// Number of methods in the radio group, and the most characters the target edit takes.
inline constexpr int PRIME_METHOD_COUNT = 7;
inline constexpr int PRIME_TARGET_MAX_CHARS = 817;

class PrimeDlg : public QDialog {
    Q_OBJECT
public:
    /// Makes the dialog with a copy of `settings`.
    explicit PrimeDlg(const PrimeSettings& settings, QWidget* parent = nullptr);
    ~PrimeDlg() override;

    /// Runs the console modally on a copy of `settings`; copies the values
    /// back only when it ends with "終了". Returns the dialog's result code.
    static int Open(PrimeSettings& settings, QWidget* parent = nullptr);

    /// The dialog's copy of the settings (what "終了" hands back).
    const PrimeSettings& Settings() const { return m_settings; }
    /// The target text field, as last exchanged with the target edit.
    const QString& TargetText() const { return m_targetText; }
    /// True while a worker runs (between OnStart's start and the worker's end).
    bool IsRunning() const { return m_running; }

    /// Transfers the fields into the controls (false) or validates and reads
    /// them back (true); false when a field was refused (the dialog stays open).
    bool UpdateData(bool fromControls);

public slots:
    void OnChangeTarget();
    void OnStart();
    void OnNextPrime();
    void OnPreviousPrime();
    void OnAbort();
    void OnCheckPriority();
    void accept() override;
    void reject() override;

protected:
    void showEvent(QShowEvent* event) override;
    bool eventFilter(QObject* watched, QEvent* event) override;

private:
    /// The dialog's controls, group by group, top to bottom.
    void BuildControls();
    QWidget* BuildTargetGroup();
    QWidget* BuildActionGroup();
    QWidget* BuildTrialCountGroup();
    QLayout* BuildMethodGrid();
    QLayout* BuildPrimeButtons();
    QLayout* BuildRunRow();
    void OnInitDialog();
    void OnSelectAction(int action);
    void OnSelectMethod(int method);
    void OpenMethodSettings(int method);
    /// Runs what `start` starts (false: nothing runs) with the inputs locked
    /// and the progress line shown, until the worker has ended.
    void RunWorker(const std::function<bool()>& start);
    void RunPrimeSearch(bool next);
    /// The controls a run locks: off while it runs, back on for the action afterwards.
    void EnableInputs(bool enable);

    // The four enabling sets.
    void EnableTrialCount(bool enable);
    void EnableMethodRadios(bool enable);
    void EnableSettingsButtons(bool enable);
    void ShowMethodView();

    void ShowOwnedMessage(const char* text);

    PrimeSettings m_settings;
    QString m_targetText;
    int m_initialised = 0;
    bool m_running = false;
    bool m_validating = false;

    QLineEdit* m_targetEdit = nullptr;
    QRadioButton* m_actionRadio[3] = {};
    QButtonGroup* m_actionGroup = nullptr;
    QLineEdit* m_trialsEdit = nullptr;
    UpDownControl* m_trialsSpin = nullptr;
    QRadioButton* m_methodRadio[PRIME_METHOD_COUNT] = {};
    QButtonGroup* m_methodGroup = nullptr;
    QPushButton* m_settingsButton[6] = {};
    QCheckBox* m_trialDivFirst = nullptr;
    QPushButton* m_nextPrime = nullptr;
    QPushButton* m_previousPrime = nullptr;
    QPushButton* m_start = nullptr;
    QPushButton* m_abort = nullptr;
    QCheckBox* m_lowerPriority = nullptr;
    QLabel* m_progressLine = nullptr;
    QPushButton* m_ok = nullptr;
    QPushButton* m_cancel = nullptr;
    DataExchange m_dx{this};
};

#include "console/prime_dlg.h"

#include <QAbstractButton>
#include <QApplication>
#include <QButtonGroup>
#include <QCheckBox>
#include <QEvent>
#include <QEventLoop>
#include <QFocusEvent>
#include <QGridLayout>
#include <QGroupBox>
#include <QHBoxLayout>
#include <QLabel>
#include <QLineEdit>
#include <QMessageBox>
#include <QPushButton>
#include <QRadioButton>
#include <QTimer>
#include <QVBoxLayout>

#include "bigint/message_box.h"
#include "widgets/console_controls.h"
#include "console/method_settings_dlg.h"
#include "console/progress_line.h"
#include "console/worker_control.h"

namespace {

// The console's texts.
constexpr const char* CAPTION = "素数判別、素因数分解";
constexpr const char* GROUP_TARGET = "ターゲットの数";
constexpr const char* GROUP_ACTION = "アクション";
constexpr const char* GROUP_SETTINGS = "設定";
constexpr const char* ACTION_TEXT[3] = {"擬素数判別", "素数判別", "素因数の発見"};
constexpr const char* PSEUDO_NOTE = "説明 : Miller-Rabinの方法で判別します(判別時間小)";
constexpr const char* PSEUDO_RANGE = "( 20～200 )";
constexpr const char* PSEUDO_HINT_1 = "※値が大きいほど";
constexpr const char* PSEUDO_HINT_2 = "・判別は正確";
constexpr const char* PSEUDO_HINT_3 = "・計算時間大";
constexpr const char* PRIME_TEST_NOTE_1 = "説明 : Adleman-Pomerance-Rumely(Cohen-Lenstra改良版)";
constexpr const char* PRIME_TEST_NOTE_2 = "の方法で判別します(判別時間大)";
constexpr const char* SETTINGS_BUTTON = "設定...";
constexpr const char* TRIAL_DIV_FIRST = "先にBrute Force除算をする";
constexpr const char* TO_NFS = "→ NFS";
constexpr const char* WARNING =
    "※素数を素因数分解しようとした場合、処理が異常になる場合があります。\r   その場合は強制終了して下さい。";
constexpr const char* NEXT_PRIME = "次の素数";
constexpr const char* PREVIOUS_PRIME = "前の素数";
constexpr const char* START = "開始";
constexpr const char* ABORT = "中断";
constexpr const char* LOWER_PRIORITY = "PRIORITYを下げる(他のアプリへの影響を低くします)";
constexpr const char* OK_TEXT = "終了";
constexpr const char* CANCEL_TEXT = "ｷｬﾝｾﾙ";

constexpr const char* MSG_TOO_LARGE = "値が大きすぎます";
constexpr const char* MSG_BAD_CHARACTER = "不正な文字が含まれています";
constexpr const char* MSG_INIT_ERROR = "Error in OnInitDialog";

/// Methods in the order of the radio group: their ids and texts.
constexpr int METHOD_ID[PRIME_METHOD_COUNT] = {
    IDC_METHOD_TRIAL_DIVISION, IDC_METHOD_RHO, IDC_METHOD_PM1,      IDC_METHOD_ECM,
    IDC_METHOD_MPQS,           IDC_METHOD_NFS, IDC_METHOD_FACTORISE};
constexpr const char* METHOD_TEXT[PRIME_METHOD_COUNT] = {
    "Brute Force除算", "ρ法", "P-1法", "楕円曲線法(ECM)", "複数多項式二次ふるい法(MPQS)",
    "数体ふるい法(NFS)", "素因数分解 : ρ → p-1 → ECM → MPQS"};
/// Settings buttons of methods 0 … 5 (method 6 has none).
constexpr int SETTINGS_ID[6] = {IDC_SETTINGS_TRIAL_DIVISION, IDC_SETTINGS_RHO, IDC_SETTINGS_PM1,
                                IDC_SETTINGS_ECM,            IDC_SETTINGS_MPQS, IDC_SETTINGS_NFS};
/// Methods that the method view enables (NFS stays greyed).
constexpr bool METHOD_AVAILABLE[PRIME_METHOD_COUNT] = {true, true, true, true, true, false, true};

/// How often the nested loop of a run looks at the run state.
constexpr int RUN_POLL_MS = 5;

int CurrentRunState() { return g_workerControl.RunState.load(); }

QString DecimalText(BigInt value) {
    char buffer[BIGINT_TEXT_SIZE];
    return QString::fromLatin1(value.ToString(buffer, 10));
}

QPushButton* Button(const char* text, int id) {
    auto* button = new QPushButton(QString::fromUtf8(text));
    SetControlId(button, id);
    button->setAutoDefault(false);
    return button;
}

QGroupBox* Group(const char* title) {
    auto* group = new QGroupBox(QString::fromUtf8(title));
    SetControlId(group, -1);
    return group;
}

/// Shows the progress line in `label`. The text is queued to the window's
/// thread in order with the worker's message boxes, so the line is cleared
/// before the result box appears; a text still queued when the label is
/// gone is dropped with it.
class LabelProgressLine : public ProgressLinePresenter {
public:
    explicit LabelProgressLine(QLabel* label) : m_label(label) {}
    void ShowProgressLine(const std::string& text) override {
        QMetaObject::invokeMethod(
            m_label, [label = m_label, line = QString::fromStdString(text)] { label->setText(line); },
            Qt::QueuedConnection);
    }

private:
    QLabel* m_label;
};

/// Runs a method's settings dialog on a copy of its fields; OK hands them back.
template <class Dlg>
void RunSettingsDialog(QWidget* parent, PrimeSettings& settings) {
    Dlg dlg(parent);
    dlg.Load(settings);
    if (dlg.exec() == QDialog::Accepted) dlg.Store(settings);
}

}  // namespace

PrimeDlg::PrimeDlg(const PrimeSettings& settings, QWidget* parent)
    : QDialog(parent), m_settings(settings), m_targetText(DecimalText(settings.target)) {
    setWindowTitle(QString::fromUtf8(CAPTION));
    setWindowFlag(Qt::WindowContextHelpButtonHint, false);
    BuildControls();

    // Data transfer, in this order: the target text, the trial count, the
    // action, the method, the priority option (the up-down control takes its
    // range in UpdateData).
    m_dx.AddText(m_targetEdit, &m_targetText, PRIME_TARGET_MAX_CHARS);
    m_dx.AddInt(m_trialsEdit, &m_settings.mrTrials, 20, 200);
    m_dx.AddRadioGroup({m_actionRadio[0], m_actionRadio[1], m_actionRadio[2]}, &m_settings.action);
    m_dx.AddRadioGroup({m_methodRadio[0], m_methodRadio[1], m_methodRadio[2], m_methodRadio[3],
                        m_methodRadio[4], m_methodRadio[5], m_methodRadio[6]},
                       &m_settings.method);
    m_dx.AddCheck(m_lowerPriority, &m_settings.lowerPriority);
    m_dx.AddCheck(m_trialDivFirst, &m_settings.trialDivFirst);
}

PrimeDlg::~PrimeDlg() = default;

int PrimeDlg::Open(PrimeSettings& settings, QWidget* parent) {
    PrimeDlg dlg(settings, parent);
    const int result = dlg.exec();
    if (result == QDialog::Accepted) settings = dlg.Settings();
    return result;
}

void PrimeDlg::BuildControls() {
    QWidget* targetGroup = BuildTargetGroup();
    QWidget* actionGroup = BuildActionGroup();
    QLayout* primeRow = BuildPrimeButtons();
    QLayout* runRow = BuildRunRow();

    auto* outer = new QVBoxLayout(this);
    outer->setSpacing(5);
    outer->addWidget(targetGroup);
    outer->addWidget(actionGroup);
    outer->addWidget(StaticText(WARNING));
    outer->addLayout(primeRow);
    outer->addWidget(m_lowerPriority);
    outer->addLayout(runRow);
    outer->addWidget(m_progressLine);
    outer->setSizeConstraint(QLayout::SetFixedSize);
}

QWidget* PrimeDlg::BuildTargetGroup() {
    m_targetEdit = new QLineEdit;
    SetControlId(m_targetEdit, IDC_PRIME_TARGET);
    connect(m_targetEdit, &QLineEdit::textChanged, this, &PrimeDlg::OnChangeTarget);
    auto* group = Group(GROUP_TARGET);
    auto* layout = new QVBoxLayout(group);
    layout->addWidget(m_targetEdit);
    return group;
}

QWidget* PrimeDlg::BuildActionGroup() {
    m_actionGroup = new QButtonGroup(this);
    for (int i = 0; i < 3; ++i) {
        m_actionRadio[i] = new QRadioButton(QString::fromUtf8(ACTION_TEXT[i]));
        SetControlId(m_actionRadio[i], IDC_PRIME_PSEUDO + i);
        m_actionGroup->addButton(m_actionRadio[i], i);
        connect(m_actionRadio[i], &QRadioButton::clicked, this, [this, i] { OnSelectAction(i); });
    }
    QWidget* trialCountGroup = BuildTrialCountGroup();
    QLayout* methodGrid = BuildMethodGrid();

    // Each action's radio, with its notes and controls indented below it.
    auto* group = Group(GROUP_ACTION);
    auto* layout = new QGridLayout(group);
    layout->setColumnMinimumWidth(0, 16);
    layout->setColumnStretch(1, 1);
    layout->setVerticalSpacing(3);
    int row = 0;
    layout->addWidget(m_actionRadio[0], row++, 0, 1, 2);
    layout->addWidget(StaticText(PSEUDO_NOTE), row++, 1);
    layout->addWidget(trialCountGroup, row++, 1);
    layout->addWidget(m_actionRadio[1], row++, 0, 1, 2);
    for (const char* note : {PRIME_TEST_NOTE_1, PRIME_TEST_NOTE_2}) layout->addWidget(StaticText(note), row++, 1);
    layout->addWidget(m_actionRadio[2], row++, 0, 1, 2);
    layout->addLayout(methodGrid, row++, 1);
    layout->addWidget(m_trialDivFirst, row++, 1);
    return group;
}

QWidget* PrimeDlg::BuildTrialCountGroup() {
    // The trial count of the pseudo-prime test, its range and the hints.
    m_trialsEdit = new QLineEdit;
    SetControlId(m_trialsEdit, IDC_PRIME_TRIALS);
    m_trialsEdit->setFixedWidth(m_trialsEdit->fontMetrics().horizontalAdvance(QStringLiteral("0000")) + 14);
    m_trialsEdit->installEventFilter(this);
    m_trialsSpin = new UpDownControl(m_trialsEdit, 20, 200);
    SetControlId(m_trialsSpin, IDC_PRIME_TRIALS_SPIN);

    auto* group = Group(GROUP_SETTINGS);
    auto* layout = new QGridLayout(group);
    auto* trialsRow = BuddyRow(m_trialsEdit, m_trialsSpin);
    trialsRow->addSpacing(6);
    trialsRow->addWidget(StaticText(PSEUDO_RANGE));
    trialsRow->addStretch(1);
    layout->addLayout(trialsRow, 0, 0);
    auto* hints = new QVBoxLayout;
    hints->setSpacing(0);
    hints->addWidget(StaticText(PSEUDO_HINT_1));
    hints->addWidget(StaticText(PSEUDO_HINT_2));
    hints->addWidget(StaticText(PSEUDO_HINT_3));
    layout->addLayout(hints, 0, 1);
    layout->setColumnStretch(0, 1);
    return group;
}

QLayout* PrimeDlg::BuildMethodGrid() {
    // The methods with their settings buttons, and the trial-division option.
    m_methodGroup = new QButtonGroup(this);
    auto* grid = new QGridLayout;
    grid->setVerticalSpacing(0);
    for (int m = 0; m < PRIME_METHOD_COUNT; ++m) {
        m_methodRadio[m] = new QRadioButton(QString::fromUtf8(METHOD_TEXT[m]));
        SetControlId(m_methodRadio[m], METHOD_ID[m]);
        m_methodRadio[m]->setEnabled(false);
        m_methodGroup->addButton(m_methodRadio[m], m);
        connect(m_methodRadio[m], &QRadioButton::clicked, this, [this, m] { OnSelectMethod(m); });
        grid->addWidget(m_methodRadio[m], m, 0);
        if (m < 6) {
            m_settingsButton[m] = Button(SETTINGS_BUTTON, SETTINGS_ID[m]);
            m_settingsButton[m]->setEnabled(false);
            // As tall as the radio beside it, so the method list stays compact.
            m_settingsButton[m]->setFixedHeight(m_settingsButton[m]->fontMetrics().height() + 6);
            if (m < 5) {
                connect(m_settingsButton[m], &QPushButton::clicked, this, [this, m] { OpenMethodSettings(m); });
            }
            grid->addWidget(m_settingsButton[m], m, 1);
        }
    }
    auto* toNfs = StaticText(TO_NFS);
    toNfs->setEnabled(false);
    grid->addWidget(toNfs, 6, 1);
    grid->setColumnStretch(0, 1);
    m_trialDivFirst = new QCheckBox(QString::fromUtf8(TRIAL_DIV_FIRST));
    SetControlId(m_trialDivFirst, IDC_TRIAL_DIVISION_FIRST);
    m_trialDivFirst->setEnabled(false);
    connect(m_trialDivFirst, &QCheckBox::clicked, this,
            [this](bool checked) { m_settings.trialDivFirst = checked ? 1 : 0; });
    return grid;
}

QLayout* PrimeDlg::BuildPrimeButtons() {
    // Next and previous prime: enabled whenever the console is idle.
    m_nextPrime = Button(NEXT_PRIME, IDC_NEXT_PRIME);
    connect(m_nextPrime, &QPushButton::clicked, this, &PrimeDlg::OnNextPrime);
    m_previousPrime = Button(PREVIOUS_PRIME, IDC_PREVIOUS_PRIME);
    connect(m_previousPrime, &QPushButton::clicked, this, &PrimeDlg::OnPreviousPrime);
    auto* nextGroup = Group(NEXT_PRIME);
    (new QVBoxLayout(nextGroup))->addWidget(m_nextPrime);
    auto* previousGroup = Group(PREVIOUS_PRIME);
    (new QVBoxLayout(previousGroup))->addWidget(m_previousPrime);
    auto* row = new QHBoxLayout;
    row->addWidget(nextGroup);
    row->addWidget(previousGroup);
    return row;
}

QLayout* PrimeDlg::BuildRunRow() {
    // Run controls and the way out; the priority option sits above them.
    m_start = Button(START, IDC_START);
    connect(m_start, &QPushButton::clicked, this, &PrimeDlg::OnStart);
    m_abort = Button(ABORT, IDC_ABORT);
    m_abort->setEnabled(false);
    connect(m_abort, &QPushButton::clicked, this, &PrimeDlg::OnAbort);
    m_lowerPriority = new QCheckBox(QString::fromUtf8(LOWER_PRIORITY));
    SetControlId(m_lowerPriority, IDC_LOWER_PRIORITY);
    connect(m_lowerPriority, &QCheckBox::clicked, this, &PrimeDlg::OnCheckPriority);
    m_ok = new QPushButton(QString::fromUtf8(OK_TEXT));
    SetControlId(m_ok, IDC_PRIME_OK);
    m_ok->setDefault(true);
    connect(m_ok, &QPushButton::clicked, this, &PrimeDlg::accept);
    m_cancel = new QPushButton(QString::fromUtf8(CANCEL_TEXT));
    SetControlId(m_cancel, IDC_PRIME_CANCEL);
    m_cancel->setEnabled(false);
    m_cancel->setVisible(false);
    // What a long run is doing; empty while idle. It never widens the dialog.
    m_progressLine = StaticText("");
    SetControlId(m_progressLine, IDC_PROGRESS_LINE);
    m_progressLine->setMinimumHeight(m_progressLine->fontMetrics().height());
    m_progressLine->setSizePolicy(QSizePolicy::Ignored, QSizePolicy::Fixed);

    auto* row = new QHBoxLayout;
    row->addWidget(m_start);
    row->addWidget(m_abort);
    row->addStretch(1);
    row->addWidget(m_ok);
    row->addWidget(m_cancel);
    return row;
}

// --- Data transfer and initialisation --------------------------------------------

bool PrimeDlg::UpdateData(bool fromControls) {
    m_trialsSpin->SetRange(20, 200);
    if (fromControls) return m_dx.FromControls();
    m_dx.ToControls();
    return true;
}

void PrimeDlg::showEvent(QShowEvent* event) {
    QDialog::showEvent(event);
    if (!m_initialised) OnInitDialog();
}

void PrimeDlg::OnInitDialog() {
    UpdateData(false);
    switch (m_settings.action) {
    case ACTION_PSEUDO_PRIME:
        EnableTrialCount(true);
        EnableMethodRadios(false);
        break;
    case ACTION_PRIME_TEST:
        EnableTrialCount(false);
        EnableMethodRadios(false);
        break;
    case ACTION_FACTOR:
        EnableTrialCount(false);
        ShowMethodView();
        break;
    default:
        ShowMessageBox(MSG_INIT_ERROR);
        break;
    }
    m_initialised = 1;
}

bool PrimeDlg::eventFilter(QObject* watched, QEvent* event) {
    if (watched == m_trialsEdit && event->type() == QEvent::FocusOut) {
        // Leaving the trial count transfers every field with validation, as
        // "終了" does but without closing. Not when the window merely loses
        // activation (another window or a message box), not while a run
        // disables the edit, and not when the focus goes to "終了", which
        // validates by itself.
        const auto reason = static_cast<QFocusEvent*>(event)->reason();
        const bool windowChange = reason == Qt::ActiveWindowFocusReason || reason == Qt::PopupFocusReason;
        if (m_initialised && !m_validating && !m_running && !windowChange && m_trialsEdit->isEnabled() &&
            QApplication::focusWidget() != m_ok) {
            m_validating = true;
            UpdateData(true);
            m_validating = false;
        }
    }
    return QDialog::eventFilter(watched, event);
}

// --- Enabling sets ------------------------------------------------------------------

void PrimeDlg::EnableTrialCount(bool enable) {
    m_trialsEdit->setEnabled(enable);
    m_trialsSpin->setEnabled(enable);
}

void PrimeDlg::EnableMethodRadios(bool enable) {
    for (QRadioButton* radio : m_methodRadio) radio->setEnabled(enable);
    if (!enable) m_trialDivFirst->setEnabled(false);
}

void PrimeDlg::EnableSettingsButtons(bool enable) {
    for (QPushButton* button : m_settingsButton) button->setEnabled(enable);
}

void PrimeDlg::ShowMethodView() {
    for (int m = 0; m < PRIME_METHOD_COUNT; ++m) {
        if (METHOD_AVAILABLE[m]) m_methodRadio[m]->setEnabled(true);
    }
    if (m_settings.method != METHOD_TRIAL_DIVISION) m_trialDivFirst->setEnabled(true);
    if (m_settings.method >= 0 && m_settings.method < 6) m_settingsButton[m_settings.method]->setEnabled(true);
}

// --- Action and method ----------------------------------------------------------------

void PrimeDlg::OnSelectAction(int action) {
    switch (action) {
    case ACTION_PSEUDO_PRIME:
        EnableTrialCount(true);
        EnableMethodRadios(false);
        EnableSettingsButtons(false);
        break;
    case ACTION_PRIME_TEST:
        EnableTrialCount(false);
        EnableMethodRadios(false);
        EnableSettingsButtons(false);
        break;
    default:
        EnableTrialCount(false);
        ShowMethodView();
        break;
    }
    m_settings.action = action;
}

void PrimeDlg::OnSelectMethod(int method) {
    m_settings.method = method;
    EnableSettingsButtons(false);
    m_trialDivFirst->setEnabled(method != METHOD_TRIAL_DIVISION);
    if (method < 6) m_settingsButton[method]->setEnabled(true);
}

void PrimeDlg::OpenMethodSettings(int method) {
    switch (method) {
    case METHOD_TRIAL_DIVISION: RunSettingsDialog<TrialDivSettingsDlg>(this, m_settings); break;
    case METHOD_RHO: RunSettingsDialog<RhoSettingsDlg>(this, m_settings); break;
    case METHOD_PM1: RunSettingsDialog<Pm1SettingsDlg>(this, m_settings); break;
    case METHOD_ECM: RunSettingsDialog<EcmSettingsDlg>(this, m_settings); break;
    case METHOD_MPQS: RunSettingsDialog<MpqsSettingsDlg>(this, m_settings); break;
    default: break;
    }
}

// --- Target -------------------------------------------------------------------------

void PrimeDlg::ShowOwnedMessage(const char* text) {
    QMessageBox box(QMessageBox::NoIcon, QString::fromUtf8(APP_TITLE), QString::fromUtf8(text), QMessageBox::Ok,
                    this);
    box.exec();
}

void PrimeDlg::OnChangeTarget() {
    // The initial transfer into the edit raises the change too; it is not the user's.
    if (!m_initialised) return;
    const QByteArray text = m_targetEdit->text().toUtf8();
    BigInt value;
    if (value.FromString(text.constData(), 10) == 0) {
        m_settings.target = value;
        m_targetText = DecimalText(value);
        return;
    }
    ShowOwnedMessage(value.GetStatus() != 0 ? MSG_TOO_LARGE : MSG_BAD_CHARACTER);
    // Restoring the previous target raises the change again; that text parses.
    m_targetEdit->setText(DecimalText(m_settings.target));
}

// --- Run ----------------------------------------------------------------------------------

void PrimeDlg::OnStart() {
    // Copies the settings into the control block, sets the run state and
    // starts the worker of the action and method; invalid choices only show
    // their message and leave the run state idle.
    RunWorker([this] { return StartWorker(m_settings); });
}

void PrimeDlg::OnNextPrime() { RunPrimeSearch(true); }

void PrimeDlg::OnPreviousPrime() { RunPrimeSearch(false); }

void PrimeDlg::RunPrimeSearch(bool next) {
    RunWorker([this, next] { return StartPrimeSearch(m_settings, next); });
    if (!g_workerControl.primeFound) return;
    // The prime found becomes the target; the edit's change notice parses it again.
    g_workerControl.primeFound = false;
    m_settings.target = g_workerControl.foundPrime;
    m_targetText = DecimalText(m_settings.target);
    m_targetEdit->setText(m_targetText);
}

void PrimeDlg::EnableInputs(bool enable) {
    m_targetEdit->setEnabled(enable);
    m_start->setEnabled(enable);
    m_ok->setEnabled(enable);
    m_nextPrime->setEnabled(enable);
    m_previousPrime->setEnabled(enable);
    for (QRadioButton* radio : m_actionRadio) radio->setEnabled(enable);
    if (!enable) {
        EnableTrialCount(false);
        EnableMethodRadios(false);
        EnableSettingsButtons(false);
    } else if (m_settings.action == ACTION_PSEUDO_PRIME) {
        EnableTrialCount(true);
    } else if (m_settings.action == ACTION_FACTOR) {
        ShowMethodView();
    }
}

void PrimeDlg::RunWorker(const std::function<bool()>& start) {
    if (m_running) return;
    LabelProgressLine line(m_progressLine);
    ProgressLinePresenter* previous = InstallProgressLinePresenter(&line);
    if (!start()) {
        InstallProgressLinePresenter(previous);
        return;
    }
    m_running = true;
    EnableInputs(false);
    m_abort->setEnabled(true);

    // The worker's boxes and progress line are shown on this thread on its
    // behalf while this loop keeps the window alive; the worker marks its
    // end in the run state.
    QEventLoop loop;
    QTimer poll;
    poll.setInterval(RUN_POLL_MS);
    connect(&poll, &QTimer::timeout, &loop, [&loop] {
        if (CurrentRunState() == RUN_IDLE) loop.quit();
    });
    poll.start();
    if (CurrentRunState() != RUN_IDLE) loop.exec();
    poll.stop();
    InstallProgressLinePresenter(previous);
    m_progressLine->clear();

    EnableInputs(true);
    m_abort->setEnabled(false);
    m_running = false;
}

void PrimeDlg::OnAbort() {
    // Only a running worker is asked to stop: a click that arrives after the
    // worker has marked its end must not leave the state at abort, or the
    // next wait for the idle state would never end.
    int expected = RUN_ACTIVE;
    g_workerControl.RunState.compare_exchange_strong(expected, RUN_ABORT);
    m_abort->setEnabled(false);
}

void PrimeDlg::OnCheckPriority() { m_settings.lowerPriority = m_lowerPriority->isChecked() ? 1 : 0; }

void PrimeDlg::accept() {
    if (m_running) return;
    if (!UpdateData(true)) return;
    QDialog::accept();
}

void PrimeDlg::reject() {
    // A run owns the dialog until its worker has ended: closing is refused meanwhile.
    if (m_running) return;
    QDialog::reject();
}

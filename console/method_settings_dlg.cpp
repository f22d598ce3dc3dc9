#include "console/method_settings_dlg.h"

#include <QByteArray>
#include <QGridLayout>
#include <QGroupBox>
#include <QHBoxLayout>
#include <QLineEdit>
#include <QPushButton>
#include <QRadioButton>
#include <QVBoxLayout>
#include <string_view>

#include "widgets/console_controls.h"
#include "bigint/decimal_text.h"

namespace {

// The dialogs' texts.
constexpr const char* TD_CAPTION = "Brute Force除算の設定";
constexpr const char* TD_BEFORE = "2 ～";
constexpr const char* TD_AFTER = "までの素数で試し割りします。";
constexpr const char* TD_RANGE = "( 65537 ～ 262139 )";
constexpr const char* TD_NOTE = "※入力した数が素数でない場合は\r   手前の素数までになります。";

constexpr const char* RHO_CAPTION = "ρ法の設定";
constexpr const char* RHO_GROUP = "式の設定";
constexpr const char* RHO_A = "a :";
constexpr const char* RHO_B = "b :";
constexpr const char* RHO_C = "c :";
constexpr const char* RHO_A_RANGE = "( 0～4294967295 )";
constexpr const char* RHO_B_RANGE = "( 2～256 )";
constexpr const char* RHO_C_RANGE = "( -2147483647\r  ～2147483647 )";
constexpr const char* RHO_NOTE = "※ X[0] = a  ,  X[i+1] = X[i]^b + c\r    をもとに計算します。";
constexpr const char* RHO_TRIALS = "試行回数 :";
constexpr const char* RHO_TRIALS_AFTER = "回  ( 2～100000 )";

constexpr const char* PM1_CAPTION = "P-1法の設定";
constexpr const char* PM1_SMALL_BEFORE = "262144未満の素数を";
constexpr const char* PM1_SMALL_AFTER = "乗してかけていき、";
constexpr const char* PM1_BOUND_AFTER = "までの素数を";
constexpr const char* PM1_LARGE_AFTER = "乗してかける。";
constexpr const char* PM1_SMALL_RANGE = "( 2～16 )";
constexpr const char* PM1_BOUND_RANGE = "( 262144～16777216 )";
constexpr const char* PM1_LARGE_RANGE = "( 1～4 )";
constexpr const char* PM1_NOTE = "※(その数)-1とターゲットとのGCDをとり素因数を求める。";

constexpr const char* ECM_CAPTION = "楕円曲線法(ECM)の設定";
constexpr const char* ECM_GROUP_M = "Mの値";
constexpr const char* ECM_SMOOTH[4] = {"10^2 スムーズ", "10^3 スムーズ", "10^4 スムーズ", "10^5 スムーズ"};
constexpr const char* ECM_GROUP_TRIALS = "試行回数";
constexpr const char* ECM_TIMES = "回";
constexpr const char* ECM_RANGE = "( 1 ～ 10000 )";
constexpr const char* ECM_NOTE_1 = "※楕円曲線 y^2 = x^3 + ax + b を用いて素因数を探します。";
constexpr const char* ECM_NOTE_2 = "(1) a , b , 初期点P(x,y)をランダムに決めます。";
constexpr const char* ECM_NOTE_3 = "(2) PをM倍します。";

constexpr const char* MPQS_CAPTION = "複数多項式二次ふるい法(MPQS)の設定";
constexpr const char* MPQS_GROUP_THREADS = "スレッド数";
constexpr const char* MPQS_RANGE = "( 0 ～ 64 )";
constexpr const char* MPQS_AUTO = "0 : 自動 (すべてのコアを使います)";
constexpr const char* MPQS_NOTE_1 = "※自己初期化二次ふるい法で100桁までの合成数を";
constexpr const char* MPQS_NOTE_2 = "   すべての素因数に分解します。";

constexpr const char* OK_TEXT = "OK";
constexpr const char* CANCEL_TEXT = "ｷｬﾝｾﾙ";

QLineEdit* NumberEdit(int id, int widthChars) {
    auto* edit = new QLineEdit;
    SetControlId(edit, id);
    edit->setFixedWidth(edit->fontMetrics().horizontalAdvance(QLatin1Char('0')) * widthChars + 14);
    return edit;
}

}  // namespace

// --- Common frame -------------------------------------------------------------

MethodSettingsDlg::MethodSettingsDlg(const char* caption, QWidget* parent) : QDialog(parent) {
    setWindowTitle(QString::fromUtf8(caption));
    setWindowFlag(Qt::WindowContextHelpButtonHint, false);
}

void MethodSettingsDlg::FinishLayout(QLayout* body) {
    auto* ok = new QPushButton(QString::fromUtf8(OK_TEXT));
    SetControlId(ok, 1);
    ok->setDefault(true);
    auto* cancel = new QPushButton(QString::fromUtf8(CANCEL_TEXT));
    SetControlId(cancel, 2);
    cancel->setAutoDefault(false);
    connect(ok, &QPushButton::clicked, this, &MethodSettingsDlg::accept);
    connect(cancel, &QPushButton::clicked, this, &MethodSettingsDlg::reject);

    auto* buttons = new QHBoxLayout;
    buttons->addStretch(1);
    buttons->addWidget(ok);
    buttons->addWidget(cancel);

    auto* outer = new QVBoxLayout(this);
    outer->addLayout(body);
    outer->addSpacing(6);
    outer->addLayout(buttons);
    outer->setSizeConstraint(QLayout::SetFixedSize);
}

void MethodSettingsDlg::showEvent(QShowEvent* event) {
    // The initial transfer: fields into the controls, once per opening.
    if (!m_transferred) {
        m_transferred = true;
        UpdateData(false);
    }
    QDialog::showEvent(event);
}

void MethodSettingsDlg::accept() {
    if (!UpdateData(true)) return;
    QDialog::accept();
}

// --- Brute-force division -----------------------------------------------------

TrialDivSettingsDlg::TrialDivSettingsDlg(QWidget* parent) : MethodSettingsDlg(TD_CAPTION, parent) {
    m_bound = NumberEdit(IDC_TD_BOUND, 8);
    m_dx.AddInt(m_bound, &trialDivBound, 65537, 262139);

    auto* row = new QHBoxLayout;
    row->addWidget(StaticText(TD_BEFORE));
    row->addWidget(m_bound);
    row->addWidget(StaticText(TD_AFTER));
    row->addStretch(1);

    auto* body = new QVBoxLayout;
    body->addLayout(row);
    auto* range = StaticText(TD_RANGE);
    range->setAlignment(Qt::AlignCenter);
    body->addWidget(range);
    body->addSpacing(6);
    body->addWidget(StaticText(TD_NOTE));
    FinishLayout(body);
}

void TrialDivSettingsDlg::Load(const PrimeSettings& settings) { trialDivBound = settings.trialDivBound; }

void TrialDivSettingsDlg::Store(PrimeSettings& settings) const { settings.trialDivBound = trialDivBound; }

bool TrialDivSettingsDlg::UpdateData(bool fromControls) {
    if (fromControls) return m_dx.FromControls();
    m_dx.ToControls();
    return true;
}

// --- Rho ----------------------------------------------------------------------

RhoSettingsDlg::RhoSettingsDlg(QWidget* parent) : MethodSettingsDlg(RHO_CAPTION, parent) {
    m_x0 = NumberEdit(IDC_RHO_X0, 11);
    m_exponent = NumberEdit(IDC_RHO_EXPONENT, 11);
    m_addend = NumberEdit(IDC_RHO_ADDEND, 11);
    m_trials = NumberEdit(IDC_RHO_TRIALS, 7);
    connect(m_x0, &QLineEdit::textChanged, this, &RhoSettingsDlg::OnChangeX0);
    m_dx.AddUInt(m_x0, &rhoX0, 0u, 4294967295u);
    m_dx.AddInt(m_exponent, &rhoExponent, 2, 256);
    m_dx.AddInt(m_addend, &rhoAddend, -2147483647, 2147483647);
    m_dx.AddInt(m_trials, &rhoTrials, 2, 100000);

    auto* group = new QGroupBox(QString::fromUtf8(RHO_GROUP));
    SetControlId(group, -1);
    auto* grid = new QGridLayout(group);
    grid->addWidget(StaticText(RHO_A), 0, 0);
    grid->addWidget(m_x0, 0, 1);
    grid->addWidget(StaticText(RHO_A_RANGE), 0, 2);
    grid->addWidget(StaticText(RHO_B), 1, 0);
    grid->addWidget(m_exponent, 1, 1);
    grid->addWidget(StaticText(RHO_B_RANGE), 1, 2);
    grid->addWidget(StaticText(RHO_C), 2, 0);
    grid->addWidget(m_addend, 2, 1);
    grid->addWidget(StaticText(RHO_C_RANGE), 2, 2);
    grid->addWidget(StaticText(RHO_NOTE), 3, 0, 1, 3);
    grid->setColumnStretch(2, 1);

    auto* trialsRow = new QHBoxLayout;
    trialsRow->addWidget(StaticText(RHO_TRIALS));
    trialsRow->addWidget(m_trials);
    trialsRow->addWidget(StaticText(RHO_TRIALS_AFTER));
    trialsRow->addStretch(1);

    auto* body = new QVBoxLayout;
    body->addWidget(group);
    body->addLayout(trialsRow);
    FinishLayout(body);
}

void RhoSettingsDlg::OnChangeX0() {
    // Each change stores the text's value, read as a decimal integer and
    // kept modulo 2^32 like the unsigned field it lands in; OK reads and
    // validates the same text again.
    const QByteArray text = m_x0->text().toUtf8();
    rhoX0 = static_cast<uint32_t>(ReadDecimalInt64(std::string_view(text.constData(), static_cast<size_t>(text.size()))));
}

void RhoSettingsDlg::Load(const PrimeSettings& settings) {
    rhoX0 = settings.rhoX0;
    rhoExponent = settings.rhoExponent;
    rhoAddend = settings.rhoAddend;
    rhoTrials = settings.rhoTrials;
}

void RhoSettingsDlg::Store(PrimeSettings& settings) const {
    settings.rhoX0 = rhoX0;
    settings.rhoExponent = rhoExponent;
    settings.rhoAddend = rhoAddend;
    settings.rhoTrials = rhoTrials;
}

bool RhoSettingsDlg::UpdateData(bool fromControls) {
    if (fromControls) return m_dx.FromControls();
    m_dx.ToControls();
    return true;
}

// --- p-1 ----------------------------------------------------------------------

Pm1SettingsDlg::Pm1SettingsDlg(QWidget* parent) : MethodSettingsDlg(PM1_CAPTION, parent) {
    m_smallExponent = NumberEdit(IDC_PM1_SMALL_EXPONENT, 3);
    m_bound = NumberEdit(IDC_PM1_BOUND, 9);
    m_largeExponent = NumberEdit(IDC_PM1_LARGE_EXPONENT, 2);
    m_smallSpin = new UpDownControl(m_smallExponent, 2, 16);
    SetControlId(m_smallSpin, IDC_PM1_SMALL_EXPONENT_SPIN);
    m_largeSpin = new UpDownControl(m_largeExponent, 1, 4);
    SetControlId(m_largeSpin, IDC_PM1_LARGE_EXPONENT_SPIN);
    m_dx.AddInt(m_smallExponent, &pm1SmallExponent, 2, 16);
    m_dx.AddInt(m_bound, &pm1Bound, 262144, 16777216);
    m_dx.AddInt(m_largeExponent, &pm1LargeExponent, 1, 4);

    auto* grid = new QGridLayout;
    grid->addWidget(StaticText(PM1_SMALL_BEFORE), 0, 0);
    grid->addLayout(BuddyRow(m_smallExponent, m_smallSpin), 0, 1);
    grid->addWidget(StaticText(PM1_SMALL_AFTER), 0, 2);
    grid->addWidget(StaticText(PM1_SMALL_RANGE), 1, 1, 1, 2);
    grid->addWidget(m_bound, 2, 0);
    grid->addWidget(StaticText(PM1_BOUND_AFTER), 2, 1);
    auto* largeRow = new QHBoxLayout;
    largeRow->addLayout(BuddyRow(m_largeExponent, m_largeSpin));
    largeRow->addWidget(StaticText(PM1_LARGE_AFTER));
    largeRow->addStretch(1);
    grid->addLayout(largeRow, 2, 2);
    grid->addWidget(StaticText(PM1_BOUND_RANGE), 3, 0);
    grid->addWidget(StaticText(PM1_LARGE_RANGE), 3, 2);
    grid->setColumnStretch(2, 1);

    auto* body = new QVBoxLayout;
    body->addLayout(grid);
    body->addSpacing(6);
    body->addWidget(StaticText(PM1_NOTE));
    FinishLayout(body);
}

void Pm1SettingsDlg::Load(const PrimeSettings& settings) {
    pm1SmallExponent = settings.pm1SmallExponent;
    pm1Bound = settings.pm1Bound;
    pm1LargeExponent = settings.pm1LargeExponent;
}

void Pm1SettingsDlg::Store(PrimeSettings& settings) const {
    settings.pm1SmallExponent = pm1SmallExponent;
    settings.pm1Bound = pm1Bound;
    settings.pm1LargeExponent = pm1LargeExponent;
}

bool Pm1SettingsDlg::UpdateData(bool fromControls) {
    if (fromControls) return m_dx.FromControls();
    // The up-down controls take their ranges on every transfer into the dialog.
    m_smallSpin->SetRange(2, 16);
    m_largeSpin->SetRange(1, 4);
    m_dx.ToControls();
    return true;
}

// --- Elliptic curve method ------------------------------------------------------

EcmSettingsDlg::EcmSettingsDlg(QWidget* parent) : MethodSettingsDlg(ECM_CAPTION, parent) {
    auto* mGroup = new QGroupBox(QString::fromUtf8(ECM_GROUP_M));
    SetControlId(mGroup, -1);
    auto* mLayout = new QVBoxLayout(mGroup);
    for (int i = 0; i < 4; ++i) {
        m_smooth[i] = new QRadioButton(QString::fromUtf8(ECM_SMOOTH[i]));
        SetControlId(m_smooth[i], IDC_ECM_SMOOTH_100 + i);
        mLayout->addWidget(m_smooth[i]);
    }

    m_trials = NumberEdit(IDC_ECM_TRIALS, 6);
    m_trialsSpin = new UpDownControl(m_trials, 1, 10000);
    SetControlId(m_trialsSpin, IDC_ECM_TRIALS_SPIN);
    m_dx.AddRadioGroup({m_smooth[0], m_smooth[1], m_smooth[2], m_smooth[3]}, &m_smoothIndex);
    m_dx.AddInt(m_trials, &ecmTrials, 1, 10000);

    auto* tGroup = new QGroupBox(QString::fromUtf8(ECM_GROUP_TRIALS));
    SetControlId(tGroup, -1);
    auto* tLayout = new QVBoxLayout(tGroup);
    auto* tRow = new QHBoxLayout;
    tRow->addLayout(BuddyRow(m_trials, m_trialsSpin));
    tRow->addWidget(StaticText(ECM_TIMES));
    tRow->addStretch(1);
    tLayout->addLayout(tRow);
    tLayout->addWidget(StaticText(ECM_RANGE));
    tLayout->addStretch(1);

    auto* groups = new QHBoxLayout;
    groups->addWidget(mGroup, 1);
    groups->addWidget(tGroup, 1);

    auto* body = new QVBoxLayout;
    body->addLayout(groups);
    body->addSpacing(6);
    body->addWidget(StaticText(ECM_NOTE_1));
    body->addWidget(StaticText(ECM_NOTE_2));
    body->addWidget(StaticText(ECM_NOTE_3));
    FinishLayout(body);
}

int EcmSettingsDlg::SmoothnessToIndex(int smoothness) {
    const auto s = static_cast<unsigned>(smoothness);
    if (s <= 100u) return 0;
    if (s <= 1000u) return 1;
    if (s <= 10000u) return 2;
    return 3;
}

int EcmSettingsDlg::IndexToSmoothness(int index) {
    switch (index) {
    case 0: return 100;
    case 1: return 1000;
    case 2: return 10000;
    default: return 100000;
    }
}

void EcmSettingsDlg::Load(const PrimeSettings& settings) {
    ecmSmoothness = settings.ecmSmoothness;
    ecmTrials = settings.ecmTrials;
}

void EcmSettingsDlg::Store(PrimeSettings& settings) const {
    settings.ecmSmoothness = ecmSmoothness;
    settings.ecmTrials = ecmTrials;
}

bool EcmSettingsDlg::UpdateData(bool fromControls) {
    if (fromControls) {
        if (!m_dx.FromControls()) return false;
        ecmSmoothness = IndexToSmoothness(m_smoothIndex);
        return true;
    }
    m_smoothIndex = SmoothnessToIndex(ecmSmoothness);
    m_trialsSpin->SetRange(1, 10000);
    m_dx.ToControls();
    return true;
}

// --- MPQS -----------------------------------------------------------------------

MpqsSettingsDlg::MpqsSettingsDlg(QWidget* parent) : MethodSettingsDlg(MPQS_CAPTION, parent) {
    m_threads = NumberEdit(IDC_MPQS_THREADS, 3);
    m_threadsSpin = new UpDownControl(m_threads, 0, MPQS_THREADS_MAX);
    SetControlId(m_threadsSpin, IDC_MPQS_THREADS_SPIN);
    m_dx.AddInt(m_threads, &mpqsThreads, 0, MPQS_THREADS_MAX);

    auto* group = new QGroupBox(QString::fromUtf8(MPQS_GROUP_THREADS));
    SetControlId(group, -1);
    auto* layout = new QVBoxLayout(group);
    auto* row = BuddyRow(m_threads, m_threadsSpin);
    row->addSpacing(6);
    row->addWidget(StaticText(MPQS_RANGE));
    row->addStretch(1);
    layout->addLayout(row);
    layout->addWidget(StaticText(MPQS_AUTO));

    auto* body = new QVBoxLayout;
    body->addWidget(group);
    body->addSpacing(6);
    body->addWidget(StaticText(MPQS_NOTE_1));
    body->addWidget(StaticText(MPQS_NOTE_2));
    FinishLayout(body);
}

void MpqsSettingsDlg::Load(const PrimeSettings& settings) { mpqsThreads = settings.mpqsThreads; }

void MpqsSettingsDlg::Store(PrimeSettings& settings) const { settings.mpqsThreads = mpqsThreads; }

bool MpqsSettingsDlg::UpdateData(bool fromControls) {
    if (fromControls) return m_dx.FromControls();
    m_threadsSpin->SetRange(0, MPQS_THREADS_MAX);
    m_dx.ToControls();
    return true;
}

#pragma once
// The small settings dialogs of the prime console's factoring methods.
// Each works on its own copy of the parameters; the console copies them back
// only when the dialog ends with OK, and OK refuses any value out of range.

#include <QDialog>
#include <cstdint>

#include "console/prime_settings.h"
#include "widgets/dialog_support.h"

class QLayout;
class QLineEdit;
class QRadioButton;

/// Control ids of the settings dialogs (each dialog numbers its own controls).
enum MethodSettingsId {
    IDC_TD_BOUND = 1127,
    IDC_RHO_X0 = 1114,
    IDC_RHO_EXPONENT = 1116,
    IDC_RHO_ADDEND = 1118,
    IDC_RHO_TRIALS = 1120,
    IDC_PM1_SMALL_EXPONENT = 1117,
    IDC_PM1_SMALL_EXPONENT_SPIN = 1118,
    IDC_PM1_BOUND = 1119,
    IDC_PM1_LARGE_EXPONENT = 1121,
    IDC_PM1_LARGE_EXPONENT_SPIN = 1122,
    IDC_ECM_SMOOTH_100 = 1120,
    IDC_ECM_SMOOTH_1000 = 1121,
    IDC_ECM_SMOOTH_10000 = 1122,
    IDC_ECM_SMOOTH_100000 = 1123,
    IDC_ECM_TRIALS = 1124,
    IDC_ECM_TRIALS_SPIN = 1125,
    IDC_MPQS_THREADS = 1130,
    IDC_MPQS_THREADS_SPIN = 1131,
};

/// Common frame: OK (1) and "ｷｬﾝｾﾙ" (2); OK transfers with validation first.
class MethodSettingsDlg : public QDialog {
    Q_OBJECT
public:
    void accept() override;
    /// Writes the fields into the controls (false), or reads and validates
    /// them (true); false when a value was refused (message shown, focus on the field).
    virtual bool UpdateData(bool fromControls) = 0;

protected:
    MethodSettingsDlg(const char* caption, QWidget* parent);
    void showEvent(QShowEvent* event) override;
    /// Appends the OK and cancel buttons under `body`.
    void FinishLayout(QLayout* body);
    DataExchange m_dx{this};
    bool m_transferred = false;
};

/// Brute-force division: the bound of the trial divisors.
class TrialDivSettingsDlg : public MethodSettingsDlg {
    Q_OBJECT
public:
    explicit TrialDivSettingsDlg(QWidget* parent = nullptr);
    bool UpdateData(bool fromControls) override;
    /// Takes this dialog's fields from the console's settings.
    void Load(const PrimeSettings& settings);
    /// Hands this dialog's fields back into the console's settings.
    void Store(PrimeSettings& settings) const;

    int trialDivBound = 65537;

private:
    QLineEdit* m_bound = nullptr;
};

/// Pollard rho: X[0] = a, X[i+1] = X[i]^b + c, and the iteration limit.
class RhoSettingsDlg : public MethodSettingsDlg {
    Q_OBJECT
public:
    explicit RhoSettingsDlg(QWidget* parent = nullptr);
    bool UpdateData(bool fromControls) override;
    /// Takes this dialog's fields from the console's settings.
    void Load(const PrimeSettings& settings);
    /// Hands this dialog's fields back into the console's settings.
    void Store(PrimeSettings& settings) const;

    uint32_t rhoX0 = 2;
    int rhoExponent = 2;
    int32_t rhoAddend = 1;
    int rhoTrials = 10000;

private:
    void OnChangeX0();
    QLineEdit* m_x0 = nullptr;
    QLineEdit* m_exponent = nullptr;
    QLineEdit* m_addend = nullptr;
    QLineEdit* m_trials = nullptr;
};

/// p-1: the power of the small primes, the bound, the power of the large primes.
class Pm1SettingsDlg : public MethodSettingsDlg {
    Q_OBJECT
public:
    explicit Pm1SettingsDlg(QWidget* parent = nullptr);
    bool UpdateData(bool fromControls) override;
    /// Takes this dialog's fields from the console's settings.
    void Load(const PrimeSettings& settings);
    /// Hands this dialog's fields back into the console's settings.
    void Store(PrimeSettings& settings) const;

    int pm1SmallExponent = 16;
    int pm1Bound = 1048576;
    int pm1LargeExponent = 1;

private:
    QLineEdit* m_smallExponent = nullptr;
    UpDownControl* m_smallSpin = nullptr;
    QLineEdit* m_bound = nullptr;
    QLineEdit* m_largeExponent = nullptr;
    UpDownControl* m_largeSpin = nullptr;
};

/// Elliptic curve method: the smoothness bound M (one of four) and the number of curves.
class EcmSettingsDlg : public MethodSettingsDlg {
    Q_OBJECT
public:
    explicit EcmSettingsDlg(QWidget* parent = nullptr);
    bool UpdateData(bool fromControls) override;
    /// Takes this dialog's fields from the console's settings.
    void Load(const PrimeSettings& settings);
    /// Hands this dialog's fields back into the console's settings.
    void Store(PrimeSettings& settings) const;

    int ecmSmoothness = 1000;
    int ecmTrials = 100;

    /// Radio index shown for a smoothness bound (unsigned comparisons).
    static int SmoothnessToIndex(int smoothness);
    /// Smoothness bound stored for a radio index.
    static int IndexToSmoothness(int index);

private:
    int m_smoothIndex = 1;
    QRadioButton* m_smooth[4] = {};
    QLineEdit* m_trials = nullptr;
    UpDownControl* m_trialsSpin = nullptr;
};

/// MPQS: the number of sieving threads (0 = "自動", one per core).
class MpqsSettingsDlg : public MethodSettingsDlg {
    Q_OBJECT
public:
    explicit MpqsSettingsDlg(QWidget* parent = nullptr);
    bool UpdateData(bool fromControls) override;
    /// Takes this dialog's fields from the console's settings.
    void Load(const PrimeSettings& settings);
    /// Hands this dialog's fields back into the console's settings.
    void Store(PrimeSettings& settings) const;

    int mpqsThreads = 0;

private:
    QLineEdit* m_threads = nullptr;
    UpDownControl* m_threadsSpin = nullptr;
};

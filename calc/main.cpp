// Kalvora: the desktop calculator. The long-lived objects come up in this
// order and go down in the reverse one: the application, the main window,
// the prime engine; then the start-up routine runs the window modally and
// the process ends when it closes.

#include "calc/calc_app.h"
#include "calc/calc_dlg.h"
#include "console/prime_dlg.h"
#include "tools/lucas_dlg.h"
#include "tools/mersenne_fermat_dlg.h"
#include "tools/progression_dlg.h"

int main(int argc, char** argv) {
    CalcApp app(argc, argv);
    CalcDlg dlg;

    // Tool commands of the menus, one line per tool:
    //   dlg.SetToolCommand(ID_TOOL_PROGRESSION, [&dlg] { ... open the dialog ... });
    dlg.SetToolCommand(ID_TOOL_PROGRESSION, [&dlg] { ProgressionDlg::Open(dlg.Engine().m_progressionInputs, &dlg); });
    dlg.SetToolCommand(ID_TOOL_LUCAS, [&dlg] { LucasDlg::Open(dlg.Engine().m_lucasInputs, &dlg); });
    dlg.SetToolCommand(ID_TOOL_MERSENNE_FERMAT, [&dlg] { MersenneFermatDlg::Open(dlg.Engine().m_mersenneFermatInputs, &dlg); });
    dlg.SetToolCommand(ID_TOOL_PRIME, [&dlg] { PrimeDlg::Open(dlg.Engine().m_primeSettings, &dlg); });

    app.InitInstance(dlg);
    return 0;
}

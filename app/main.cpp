// Kalvora: the desktop calculator. The long-lived objects come up in this
// order and go down in the reverse one: the application, the main window,
// the prime engine (a static object); then the start-up routine runs the
// window modally and the process ends when it closes. main() is the one
// place that knows every window: it binds the main window's tool commands
// to the dialogs of the tools and of the prime console.

#include "calc/calc_app.h"
#include "calc/calc_dlg.h"
#include "console/prime_dlg.h"
#include "tools/lucas_dlg.h"
#include "tools/mersenne_fermat_dlg.h"
#include "tools/progression_dlg.h"

int main(int argc, char** argv) {
    CalcApp app(argc, argv);
    CalcDlg dlg;

    // Each tool works on the main window's persistent copy of its inputs.
    CalcEngine& engine = dlg.Engine();
    dlg.SetToolCommand(ID_TOOL_PROGRESSION, [&] { ProgressionDlg::Open(engine.m_progressionInputs, &dlg); });
    dlg.SetToolCommand(ID_TOOL_LUCAS, [&] { LucasDlg::Open(engine.m_lucasInputs, &dlg); });
    dlg.SetToolCommand(ID_TOOL_MERSENNE_FERMAT, [&] { MersenneFermatDlg::Open(engine.m_mersenneFermatInputs, &dlg); });
    dlg.SetToolCommand(ID_TOOL_PRIME, [&] { PrimeDlg::Open(engine.m_primeSettings, &dlg); });

    app.InitInstance(dlg);
    return 0;
}

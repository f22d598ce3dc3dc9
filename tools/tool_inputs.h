#pragma once
// The persistent inputs of the three sequence tools, with their start values.
// The main window keeps one copy of each for the whole run; a tool dialog
// takes a copy and hands it back only when it ends with "終了".

/// Progression tool: first term, difference (ratio), the four term numbers, link flag.
struct ProgressionInputs {
    int first = 1;
    int difference = 1;
    int arithTerm = 1;   ///< n1, arithmetic term
    int geomTerm = 1;    ///< n2, geometric term
    int arithSum = 1;    ///< n3, arithmetic sum
    int geomSum = 1;     ///< n4, geometric sum
    int linked = 0;
};

/// Lucas-type sequence tool: F(0) = f0, F(1) = f1, F(n+1) = a F(n) + b F(n-1).
struct LucasInputs {
    unsigned a = 1;
    unsigned b = 1;
    unsigned f0 = 0;
    unsigned f1 = 1;
    unsigned n = 2;
};

/// Mersenne and Fermat number tool.
struct MersenneFermatInputs {
    unsigned mersenneExponent = 0;
    unsigned fermatIndex = 0;
};

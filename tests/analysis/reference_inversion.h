// The one-dimensional inversion written as plainly as it can be: every trial model is a whole
// copy run through the straight forward model. The inverter of the program must agree with it
// bit for bit; the benchmark measures its speed against it.
#pragma once

#include <cmath>
#include <vector>

#include "analysis/inversion.h"

inline float ReferenceInvert(LayerModel& model, SoundingData& s, const InversionSettings& st,
                             std::vector<float>* misfits) {
    const int n = model.nLayer, m = s.nData, rows = m + n - 1;
    const double dd = st.dDifference;
    for (int j = 0; j < n; ++j)
        model.fLogResistivity[j] = static_cast<float>(std::log10(double{model.fResistivity[j]}));
    CBlockMatrix<double> J, N;
    if (!J.Allocate(n, rows) || !N.Allocate(n, n)) return -1.0f;
    std::vector<double> e(static_cast<size_t>(rows), 0.0), g(static_cast<size_t>(n));
    std::vector<float> c(static_cast<size_t>(m));
    for (int it = 0; it < st.nIteration; ++it) {
        const float misfit = SoundingMisfit(model, s);  // runs the forward model
        if (misfits) misfits->push_back(misfit);
        for (int k = 0; k < m; ++k) {
            c[k] = s.row[k].fCalculated;
            e[k] = static_cast<float>(std::log10(s.row[k].fObserved) - std::log10(c[k]));
        }
        for (int q = 0; q < n; ++q) {
            LayerModel trial = model;
            trial.fResistivity[q] =
                static_cast<float>(std::pow(10.0, double{model.fLogResistivity[q]} + dd));
            SoundingData ts = s;
            ForwardModel(trial, ts);
            for (int k = 0; k < m; ++k)
                J[q][k] =
                    (std::log10(double{ts.row[k].fCalculated}) - std::log10(double{c[k]})) / dd;
            for (int r = m; r < rows; ++r) J[q][r] = 0.0;
            if (q >= 1) J[q][m + q - 1] = -st.dRegularization;
            if (q <= n - 2) J[q][m + q] = st.dRegularization;
        }
        NormalMatrix(J, N, n, rows);
        NormalRightHandSide(J, e, g, n, rows);
        for (int i = 0; i < n; ++i) N[i][i] += st.dDamping;
        if (SolveNormal(N, g, n, 1e-6) != GaussStatus::Solved) continue;
        LayerModel next = model;
        bool ok = true;
        for (int j = 0; j < n; ++j) {
            next.fLogResistivity[j] =
                static_cast<float>(double{model.fLogResistivity[j]} + st.dAlpha * g[j]);
            next.fResistivity[j] =
                static_cast<float>(std::pow(10.0, double{next.fLogResistivity[j]}));
            ok = ok && std::isfinite(next.fResistivity[j]) && next.fResistivity[j] > 0.0f;
        }
        if (ok) {
            SoundingData ns = s;
            ForwardModel(next, ns);
            for (int k = 0; k < m; ++k)
                ok = ok && std::isfinite(ns.row[k].fCalculated) && ns.row[k].fCalculated > 0.0f;
        }
        if (ok) model = next;
    }
    return SoundingMisfit(model, s);
}

#include "estimate/stepwork.hpp"

#include "numeric/kernels.hpp"

namespace velk {

void StepWorkInit(StepWork& work, int np, int ngenotypes) {
  work.colmax.Resize(ngenotypes, 0.0);
  work.w1.Resize(np, 0.0);
  work.w2.Resize(np, 0.0);
}

void Colmax(int np, int ngenotypes, const Mat<double>& P, Vec<double>& colmax) {
  for (int g = 1; g <= ngenotypes; ++g) colmax(g) = Dmax(np, P.Ptr(1, g), 1);
}

void CgAlloc(StepWork& work, int np) {
  work.d.Resize(np, 0.0);
  work.prev_norm = -1.0;
}

void CgFree(StepWork& work) {
  work.d.Free();
}

void IrlsAlloc(StepWork& work, int np) {
  if (work.tableau.Rows() != np || work.tableau.Cols() != 3 * np) {
    work.tableau.Resize(np, 3 * np, 0.0);
    work.rhs.Resize(np, 0.0);
    work.cost.Resize(3 * np, 0.0);
    work.basis.Resize(np, 0);
    work.solution.Resize(np, 0.0);
    work.active.Resize(np, 1);
    work.ties.Resize(np, 0);
    work.pivot.Resize(np, 0.0);
    work.dir.Resize(np, 0.0);
  }
  work.active.Fill(1);
}

}  // namespace velk

#include "model/dirich.hpp"

#include "core/run.hpp"
#include "numeric/random.hpp"

namespace velk {

void Dirich(Process& process, int n, const double* alpha, double* x) {
  for (int k = 0; k < n; ++k) {
    const double a = alpha[k];
    x[k] = a == 0.0 ? 0.0 : ZBQLGAM(process, a, 1.0);
  }
  double s = 0.0;
  for (int k = 0; k < n; ++k) s += x[k];
  for (int k = 0; k < n; ++k) x[k] = x[k] / s;
}

}  // namespace velk

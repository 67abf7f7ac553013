#include "numeric/lapack.hpp"

#include <cstddef>

// The Fortran entries; each character argument has a hidden length after the others.
extern "C" {
void dsyrk_(const char* uplo, const char* trans, const int* n, const int* k, const double* alpha,
            const double* a, const int* lda, const double* beta, double* c, const int* ldc,
            std::size_t uplo_len, std::size_t trans_len);
void dgetrf_(const int* m, const int* n, double* a, const int* lda, int* ipiv, int* info);
void dgetrs_(const char* trans, const int* n, const int* nrhs, const double* a, const int* lda,
             const int* ipiv, double* b, const int* ldb, int* info, std::size_t trans_len);
}

namespace velk {

void SyrkLower(int n, int k, const double* a, int lda, double* c, int ldc) {
  const double one = 1.0, zero = 0.0;
  dsyrk_("L", "N", &n, &k, &one, a, &lda, &zero, c, &ldc, 1, 1);
}

bool LuFactor(int n, double* a, int lda, int* pivots) {
  int info = 0;
  dgetrf_(&n, &n, a, &lda, pivots, &info);
  return info == 0;
}

void LuSolve(int n, int nrhs, const double* a, int lda, const int* pivots, double* b, int ldb) {
  int info = 0;
  dgetrs_("N", &n, &nrhs, a, &lda, pivots, b, &ldb, &info, 1);
}

}  // namespace velk

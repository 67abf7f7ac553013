// Placeholder until the value readers land.
#include "control/values.hpp"

#include <cstdlib>

namespace velk {

double Greal(Run&, std::string_view text, int& pos) {
  pos = static_cast<int>(text.size());
  return std::atof(std::string(text).c_str());
}
int Igint(Run&, std::string_view text, int& pos) {
  pos = static_cast<int>(text.size());
  return std::atoi(std::string(text).c_str());
}
int Glogic(Run&, std::string_view) { return 1; }
std::string Gstrng(std::string_view text, char delimiter, int& pos) {
  std::size_t d = text.find(delimiter);
  pos = static_cast<int>(d == std::string_view::npos ? text.size() + 1 : d + 1);
  std::string s(text.substr(0, d));
  std::size_t b = s.find_first_not_of(' ');
  return b == std::string::npos ? std::string() : s.substr(b);
}
std::string Gafter(std::string_view text, char marker, char delimiter, int& pos) {
  std::size_t m = text.find(marker);
  if (m == std::string_view::npos) {
    pos = static_cast<int>(text.size() + 1);
    return {};
  }
  std::string r = Gstrng(text.substr(m + 1), delimiter, pos);
  pos += static_cast<int>(m + 1);
  return r;
}
void Gorder(Run&, std::string_view, Vec<int>&, std::span<const std::string_view>, int& nfound) {
  nfound = 0;
}

}  // namespace velk

// Placeholder until the tokenizer lands.
#include "control/itoken.hpp"

#include <cctype>

namespace velk {

char Tolow(char c) { return (c >= 'A' && c <= 'Z') ? static_cast<char>(c - 'A' + 'a') : c; }

void Agval(Run&, std::string& result, std::string_view text, int& length) {
  std::size_t k = 0;
  while (k < text.size() && (std::isdigit(static_cast<unsigned char>(text[k])) || text[k] == '.' ||
                             text[k] == '-' || text[k] == '+'))
    ++k;
  result = std::string(text.substr(0, k));
  length = static_cast<int>(k);
}

int Itoken(Run& run, std::string_view text, int& used, std::string& token, int) {
  token.clear();
  std::size_t k = 0;
  while (k < text.size() && text[k] == ' ') ++k;
  if (k == text.size()) {
    used = static_cast<int>(text.size());
    return -kTokNone;
  }
  char c = Tolow(text[k]);
  if (c == '*' || c == ':') {
    token = std::string(1, c);
    used = static_cast<int>(k + 1);
    return c == '*' ? kTokStar : kTokColon;
  }
  if (std::isdigit(static_cast<unsigned char>(c))) {
    int len = 0;
    Agval(run, token, text.substr(k), len);
    used = static_cast<int>(k) + len;
    return kTokNumber;
  }
  while (k < text.size() && std::isalpha(static_cast<unsigned char>(text[k]))) token += Tolow(text[k++]);
  used = static_cast<int>(k);
  if (token.empty()) {
    used = static_cast<int>(k + 1);
    return kTokNone;
  }
  return k == text.size() ? -kTokWord : kTokWord;
}

}  // namespace velk

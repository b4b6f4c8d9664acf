#pragma once

#include <clocale>
#include <string>

namespace kestrovan::test {

// Switches LC_NUMERIC to an installed locale whose decimal separator is a
// comma, and back to what it was when destroyed.
class TCommaLocale {
 public:
  TCommaLocale() : previous_(std::setlocale(LC_NUMERIC, nullptr)) {
    for (const char* name : {"de_DE.UTF-8", "de_DE.utf8", "de_DE", "fr_FR.UTF-8", "fr_FR.utf8", "nl_NL.UTF-8",
                             "es_ES.UTF-8", "it_IT.UTF-8", "ru_RU.UTF-8", "pt_BR.UTF-8"}) {
      if (std::setlocale(LC_NUMERIC, name) != nullptr) {
        if (std::string(std::localeconv()->decimal_point) == ",") {
          active_ = true;
          return;
        }
        std::setlocale(LC_NUMERIC, previous_.c_str());
      }
    }
  }
  ~TCommaLocale() { std::setlocale(LC_NUMERIC, previous_.c_str()); }
  TCommaLocale(const TCommaLocale&) = delete;
  TCommaLocale& operator=(const TCommaLocale&) = delete;

  bool Active() const { return active_; }

 private:
  std::string previous_;
  bool active_ = false;
};

}  // namespace kestrovan::test

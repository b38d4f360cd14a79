// The calculator's screens as a window and a terminal both show them: banner, prompt, answer and farewell rows.
#pragma once
#include <string>
#include <vector>

namespace calculator_screens {

const char* const prompt = "   Eingabe der Spektralwellenlaenge: [nm] mit Dezimalpunkt:   ? ";
const char* const result_label = "   Helligkeit Vollstfarbe: ";
const char* const farewell = "   Druecke eine Taste um das Programm zu beenden.";
const char* const end_prompt = "Press any key to continue";  // END's, on the bottom row

// Rows 0 to 5 of the first screen, blanks at their ends left out (rows 6 to 24 are empty).
inline std::vector<std::string> first_rows() {
  return {"",
          " ******* Interpolation Vollstfarbenhelligkeit nach Korlu *******",
          "",
          "               Berechnungsbereich 380 nm bis 700 nm",
          "",
          "   Eingabe der Spektralwellenlaenge: [nm] mit Dezimalpunkt:   ?"};
}

}  // namespace calculator_screens

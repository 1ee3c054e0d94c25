#pragma once

class QApplication;

namespace zyr {

// Prepares the application before the first window is made: the face substitutes for the
// design fonts, the default user-interface font, the program's icon, names and style, and that only
// End program ends the kit. The kit's main() and every window test call it.
void setUpApplication(QApplication &app);

} // namespace zyr

#pragma once

#include <QString>

// The 关于 box of the windows: what the program is, its version and licence, the Qt it runs on,
// and where the data of this process and its repair journal are.
namespace AboutBox {

// The box's title and text.
QString title();
QString text();

// Shows the box, modal, over the active window.
void show();

}  // namespace AboutBox

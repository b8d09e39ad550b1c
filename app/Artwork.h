#pragma once

#include <QIcon>
#include <QImage>
#include <QPixmap>

// The window's artwork, drawn in code so the program carries no image files.
namespace Artwork {

// The silver background picture: 444 x 285, varying only from left to right.
QPixmap backgroundPicture();

// The red-and-black application icon drawn at size x size pixels (the desktop menu's icons
// are rendered from it at build time).
QImage iconImage(int size);

// The red-and-black application icon of the windows: 32 x 32, with 16 and 48 for the panels.
QIcon applicationIcon();

}  // namespace Artwork

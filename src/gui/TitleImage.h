#pragma once

#include <QByteArray>
#include <QIcon>
#include <QImage>
#include <QPixmap>

// The program's title picture (709 x 271), drawn rather than shipped as a file.
QPixmap TitleImage();

// The program's icon: the newt of the title on a pond-green tile, square, of any size.
QImage ProgramIconImage(int lado);
// The same drawing as SVG, for the desktop's scalable icon.
QByteArray ProgramIconSvg();
// The window icon of every form, drawn at the sizes desktops ask for.
QIcon ProgramIcon();

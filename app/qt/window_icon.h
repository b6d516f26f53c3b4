#pragma once

#include <QIcon>
#include <QImage>

namespace vindle {

// The sizes of the program's icon that its windows show.
inline constexpr int kWindowIconSizes[] = {16, 24, 32, 48};

// The program's icon (a printer on a blue tile) in the sizes kWindowIconSizes lists.
QIcon WindowIcon();

// One of those sizes as an image; a null image for a size the resources do not hold.
QImage WindowIconImage(int size);

}  // namespace vindle

#pragma once

#include <QIcon>

namespace vindle {

// The program's icon (a printer on a blue tile) in every size the resources hold.
QIcon WindowIcon();

}  // namespace vindle

#pragma once
// An error that ends a window procedure: shown as the procedure's name, "-", the description, ":" and the
// number (procedureError in common/message.h).
#include <QString>

namespace zelk::console {

struct FormError {
    QString description;
    int number = 0;
};

} // namespace zelk::console

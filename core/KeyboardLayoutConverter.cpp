#include "KeyboardLayoutConverter.h"

namespace vorlex {

QString KeyboardLayoutConverter::convert(const QString& text)
{
    return text; // placeholder: the conversion tables land with the offline services
}

} // namespace vorlex

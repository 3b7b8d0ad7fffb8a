#pragma once

namespace vorlex {

// What the popup does with a text. The order is also the index of the tab that shows the mode.
enum class TranslationMode { translate, keyboardLayout, dateTime };

} // namespace vorlex

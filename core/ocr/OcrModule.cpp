// The module the tray program loads on first use (QLibrary): the one entry it looks up.

#include "TesseractRecognizer.h"

#include <QtGlobal>

#include <memory>

extern "C" Q_DECL_EXPORT void vorlexCreateTextRecognizer(std::unique_ptr<vorlex::TextRecognizer>* made)
{
    *made = std::make_unique<vorlex::TesseractRecognizer>();
}

#pragma once
// Page 1, "Barcode Reader Settings": the scan engine's decode time-out, scan mode and security,
// per engine kind. It is read from the engine when it opens and written to it on OK.

#include "browser/settings/dialog_layout.h"
#include "browser/settings/page_rows.h"
#include "browser/settings/reader_option_pages.h"

namespace tessel::settings::pages {

// Creates the page's controls for the fitted engine and fills them from the engine; an engine
// read that fails leaves its controls at their first choice. No engine: no controls.
void buildBarcodePage(DialogBuilder& build, platform::ui::Window& dialog, const PageContext& context,
                      reader::ReaderManager& readers);
// Sends the page's values to the engine, sets the decode wait and continuous reading, and
// writes the reader sections into the store when exporting is on. No engine: the barcode
// reader is switched off.
void applyBarcodePage(const platform::ui::Window& dialog, const PageContext& context,
                      const ReaderPagesParts& parts);

}  // namespace tessel::settings::pages

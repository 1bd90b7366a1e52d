// The censored-set file: the series set as the series processing menu left it, written as
// a tucson ring-width file whose name tells the reduction and its value.
#pragma once

#include <string>
#include <string_view>

#include "pelliform/series_set.h"
#include "series/console.h"
#include "series/files/units.h"

namespace dendro {

// The file name for menu item "2" to "7" and the typed value(s): the data file's stem,
// then "_mnsl=", "_mxsy=", "_mnsy=", "_trunb=", "_truna=" or "_comm=" with the value
// right-justified in its field (item 7: start "-" end), then ".txt". A value that does
// not fit its field widens it, so that no name is made of asterisks.
std::string censored_file_name(char item, int value, int second_value, std::string_view data_file);

// Writes the set to the censored-set file on `unit` (created fresh and closed again): the
// three title records with the item's code in columns 85-88 (kept in the set's title
// too), then every series in tucson ring-width records. Returns the file name; a set with
// a value the records cannot hold (see ring_misfit) is not saved, with a message, and the
// name returned is empty.
std::string savcen(char item, int value, int second_value, SeriesSet& set,
                   std::string_view data_file, Units& units, int unit, Console& con);

}  // namespace dendro

#pragma once

// Where the converter's first picture lies on the stock parser's clock: the parser counts from the
// first picture's stamp it meets, the converter from the first picture it writes (a GOP may open with
// pictures shown before the one coded first). The extraction starts there, so that the WAV begins
// with the movie.

#include <string>

namespace trovel {

// Seconds from the parser's time 0 to the converter's first picture for the set named by the list
// file; 0 when they agree or either cannot be found.
double pictureStartSeconds(const std::string& listPath);

} // namespace trovel

// The system text services on platforms other than Windows: the portable stand-in, with
// the decimal separator of the C library's numeric locale.
#include <clocale>
#include <string>

#include "runtime/text.h"
#include "runtime/text_services.h"

namespace runtime {

const TextServices& SystemTextServices() {
  static const PortableTextServices services = [] {
    const char* point = std::localeconv()->decimal_point;
    std::u16string separator = Utf8ToUtf16(point && *point ? point : ".");
    return PortableTextServices(separator);
  }();
  return services;
}

}  // namespace runtime

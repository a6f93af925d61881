#include "elements/strcat.h"

namespace elements {

void THIStrCat::doConcatenate(TData& value, std::uint16_t /*index*/) {
  std::string result = readString(firstPartReadLink, firstPart, value);
  result += readString(secondPartReadLink, secondPart, value);
  value = TData::fromStr(result);
  fire(outputEvent, value);
}

}  // namespace elements

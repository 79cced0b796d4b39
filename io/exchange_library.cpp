#include "io/exchange_library.h"

#include "io/zozariri/zozariri.h"

namespace vestrel {

bool ExchangeLibrary::Init(int channel) {
  active_ = _ZozariRichangeInit(channel) != 0;
  return active_;
}

void ExchangeLibrary::Put(int8_t symbol) {
  if (active_) _PelmarPutSymToRxBuffer(static_cast<signed char>(symbol));
}

int ExchangeLibrary::Get() {
  return active_ ? _PelmarGetSymFromTxBuffer() : -1;
}

}  // namespace vestrel

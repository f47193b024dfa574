// The classes the library Vessamor serves to other programs: the interpreter alone. (The
// settings class built into the library is internal and has no registration.)

#include "automation/InprocServer.h"
#include "clsInterpretor.h"

const telvinor::automation::InprocServer& TelvinorInprocServer() {
  static const telvinor::automation::InprocServer server{
      telvinor::automation::ServedClass::Of<telvinor::interpreter::clsInterpretor>()};
  return server;
}

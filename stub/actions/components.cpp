#include "actions/components.h"

#include "engine/run.h"
#include "startup/state.h"
#include "toolkit/application.h"

namespace act {

namespace {
// Loading the library and calling DllRegisterServer come with the
// installation actions.
void RegisterComponent(size_t) {}
}  // namespace

void RegisterComponents() {
  const qb::RecordList& components = st::Package.Records(qb::List::kComponents);
  for (size_t r = 0; r < components.Count(); ++r) {
    const std::string& path = components.Field(r, 0);
    en::Status(st::Package.Msg(qb::kMsgStatusFontPrefix) +
               path.substr(path.find_last_of('\\') + 1));
    tk::Application.ProcessMessages();
    RegisterComponent(r);
    en::ProgressStep();
  }
}

}  // namespace act

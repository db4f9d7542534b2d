#include "program/session.h"

#include "platform/text_file.h"

namespace kavro {

Session::Session(Ports ports, Locale loc, std::string dir)
    : pump(ports.pump),
      dialogs(ports.dialogs),
      clock(ports.clock),
      shell(ports.shell),
      locale(std::move(loc)),
      workDir(std::move(dir)) {
    form.reinitialise(clock.today());
}

std::string Session::ripotPath() const {
    return JoinPath(workDir, "RIPOT");
}
std::string Session::ripot1Path() const {
    return JoinPath(workDir, "RIPOT1");
}

}  // namespace kavro

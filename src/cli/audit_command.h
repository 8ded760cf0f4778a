// "ffsload audit verify|export": the audit trail beside the run records,
// checked event by event, or written out for an auditor.
#pragma once

namespace CLI {
class App;
}

namespace cli {

void add_audit_command(CLI::App& app, int* status);

}  // namespace cli

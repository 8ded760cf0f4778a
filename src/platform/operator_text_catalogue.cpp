// Every text that the layers below the windows give the operator, by id,
// with its English source text. The windows translate the source text in the
// context "OperatorText"; lupdate reads this table for it through Qt's
// marker, defined here as nothing so that this layer needs no Qt.
#include <iterator>

#include "platform/operator_text.h"

#ifndef QT_TRANSLATE_NOOP
#define QT_TRANSLATE_NOOP(context, text) text
#endif

namespace platform {

namespace {

constexpr OperatorTextSource kCatalogue[] = {
    // Titles of message boxes and questions.
    {"title.error", QT_TRANSLATE_NOOP("OperatorText", "Error")},
    {"title.pending_imei", QT_TRANSLATE_NOOP("OperatorText", "Pending IMEI")},
    // A text that a lower layer words itself (an operating-system error, a
    // station file's fault): shown as it is.
    {"as_is", "%1"},

    // Files the panels cannot open.
    {"file.custdefine_missing",
     QT_TRANSLATE_NOOP("OperatorText", "Fail to open file <custdefine>")},
    {"file.cannot_open", QT_TRANSLATE_NOOP("OperatorText", "Fail to open file")},
    {"file.script_missing", QT_TRANSLATE_NOOP("OperatorText", "Fail to open file <*.tms>")},
    {"file.cannot_write", QT_TRANSLATE_NOOP("OperatorText", "Fail to write file <%1>: %2")},
    {"customer.not_found", QT_TRANSLATE_NOOP("OperatorText", "Fail to find the customer")},
    {"yield.cannot_show", QT_TRANSLATE_NOOP("OperatorText", "Fail to show the yield: %1")},

    // The panels' settings, operator and unit.
    {"panels.settings_refused",
     QT_TRANSLATE_NOOP("OperatorText", "The station's settings stop the panels: %1")},
    {"operator.required",
     QT_TRANSLATE_NOOP("OperatorText",
                       "This station requires the operator's id: scan your badge or type your id")},
    {"panels.no_unit_field",
     QT_TRANSLATE_NOOP("OperatorText",
                       "This station asks for unit serials (unit-serial in %1) but the panel file "
                       "has no unit field (control %2)")},
    {"unit.scan_first",
     QT_TRANSLATE_NOOP("OperatorText", "Scan the unit first: this station requires its serial")},
    {"unit.refused", QT_TRANSLATE_NOOP("OperatorText", "Refused: %1; nothing runs. Scan again.")},
    {"unit.serial", QT_TRANSLATE_NOOP("OperatorText", "unit %1")},
    {"unit.attempt", QT_TRANSLATE_NOOP("OperatorText", "unit %1: attempt %2")},
    {"unit.attempt_passed",
     QT_TRANSLATE_NOOP("OperatorText", "unit %1: attempt %2, passed before at %3 %4 UTC")},
    {"unit.attempt_unknown",
     QT_TRANSLATE_NOOP("OperatorText", "unit %1: attempt unknown (the records cannot be read)")},

    // The port, and the run log's file.
    {"port.outside_range",
     QT_TRANSLATE_NOOP("OperatorText",
                       "Port %1 is not a port from %2 to %3: the run cannot reach a handset")},
    {"port.device", QT_TRANSLATE_NOOP("OperatorText", "Port %1: %2")},
    {"port.cannot_be_opened", QT_TRANSLATE_NOOP("OperatorText", "Port %1 cannot be opened: %2")},
    {"port.cannot_open", QT_TRANSLATE_NOOP("OperatorText", "cannot open port %1: %2")},
    {"port.in_use",
     QT_TRANSLATE_NOOP("OperatorText",
                       "port %1 is in use by another run in this station folder (%2): no run; "
                       "wait for it to end")},
    {"log.saved", QT_TRANSLATE_NOOP("OperatorText", "Run log saved to %1")},
    {"log.not_saved", QT_TRANSLATE_NOOP("OperatorText", "Run log NOT saved")},

    // The fixture alarm.
    {"fixture.alarm",
     QT_TRANSLATE_NOOP("OperatorText", "check the fixture on port %1: %2 red runs in a row")},
    {"fixture.failing_line", QT_TRANSLATE_NOOP("OperatorText", "failing line %1")},

    // The handset's IMEI.
    {"imei.only_on_pc",
     QT_TRANSLATE_NOOP("OperatorText",
                       "the handset was formatted after its IMEI backup and the IMEI was not "
                       "written back: it is only in the PC file %1; write it back before the "
                       "handset leaves the station")},
    {"imei.found_written_back",
     QT_TRANSLATE_NOOP("OperatorText",
                       "IMEI %1, pending since the run on port %2 stopped after the format, is on "
                       "this handset: it had been written back")},
    {"imei.handset_has_own",
     QT_TRANSLATE_NOOP("OperatorText",
                       "this handset has its own IMEI; IMEI %1 of the run on port %2 that stopped "
                       "after the format stays pending and waits for its handset")},
    {"imei.pending_for_unit",
     QT_TRANSLATE_NOOP("OperatorText",
                       "IMEI %1 was pending for unit %2, which is this handset: it is this run's "
                       "backup in %3, and the script's write-back gives it back"), "1"},
    {"imei.kept_aside",
     QT_TRANSLATE_NOOP("OperatorText",
                       "IMEI %1 is kept aside: it is not this handset's; \"ffsload report "
                       "--interrupted\" lists it")},
    {"imei.restored",
     QT_TRANSLATE_NOOP(
         "OperatorText",
         "IMEI %1 is this run's backup in %2: the script's write-back gives it back")},
    {"imei.unanswered_one",
     QT_TRANSLATE_NOOP(
         "OperatorText",
         "an IMEI is pending in this station and this handset has none, and nobody "
         "said whether it is that handset: nothing was formatted. Run again and "
         "answer the question (on the command line: --pending-imei restore gives "
         "it the pending IMEI back, --pending-imei keep-aside keeps the IMEI aside)")},
    {"imei.unanswered_many",
     QT_TRANSLATE_NOOP("OperatorText",
                       "%1 IMEIs are pending in this station and this handset has none, and "
                       "nobody said which of them, if any, is its own: nothing was formatted. "
                       "Pending: %2. Run again and answer each question (on the command line: "
                       "--pending-imei restore=HEX gives this handset the IMEI HEX; \"ffsload "
                       "pending\" lists them)"), "2"},
    {"imei.conflict_serial",
     QT_TRANSLATE_NOOP("OperatorText",
                       "this handset was scanned as unit %1, but the IMEI named, %2, is pending "
                       "for unit %3: nothing was formatted. Scan the handset's own serial, or "
                       "name its own IMEI")},
    {"imei.conflict_named",
     QT_TRANSLATE_NOOP("OperatorText",
                       "this handset was scanned as unit %1, whose IMEI %2 is pending, but the "
                       "answer names IMEI %3: nothing was formatted. Scan the handset's own "
                       "serial, or name its own IMEI")},
    {"imei.moved_denied",
     QT_TRANSLATE_NOOP("OperatorText",
                       "this handset was scanned as unit %1, whose IMEI %2 is pending from port "
                       "%3, and the answer was that it is not that handset: IMEI %2 stays "
                       "pending and nothing was formatted. Check the serial")},
    {"imei.moved_unanswered",
     QT_TRANSLATE_NOOP("OperatorText",
                       "this handset was scanned as unit %1, whose IMEI %2 is pending from port "
                       "%3, and nobody confirmed that it is that handset: nothing was formatted. "
                       "Run again and answer the question (on the command line: --pending-imei "
                       "restore)")},
    {"imei.pending_on_port",
     QT_TRANSLATE_NOOP("OperatorText",
                       "IMEI %1 is pending on port %2: the run stopped after the format, before "
                       "the write-back; it is kept in the run journal until its handset has it "
                       "again"), "1"},
    // What a run knew of its unit, and a pending IMEI as the operator tells it
    // apart from another: parts of the texts below, translated in their turn.
    {"part.unit", QT_TRANSLATE_NOOP("OperatorText", "unit %1")},
    {"part.customer", QT_TRANSLATE_NOOP("OperatorText", "customer %1")},
    {"part.unit_customer", QT_TRANSLATE_NOOP("OperatorText", "unit %1, customer %2")},
    {"part.pending", QT_TRANSLATE_NOOP("OperatorText", "%1 (run at %2)")},
    {"part.pending_unit", QT_TRANSLATE_NOOP("OperatorText", "%1 (run at %2, unit %3)")},
    {"part.pending_customer", QT_TRANSLATE_NOOP("OperatorText", "%1 (run at %2, customer %3)")},
    {"part.pending_unit_customer",
     QT_TRANSLATE_NOOP("OperatorText", "%1 (run at %2, unit %3, customer %4)")},

    // The pending-IMEI question; "(%3)" is what that run knew of its unit
    // ("unit SN1, customer 1").
    {"question.pending_imei",
     QT_TRANSLATE_NOOP("OperatorText",
                       "The run on port %1 at %2 stopped after the format, before IMEI %3 was "
                       "written back. Is this that handset? Yes gives it IMEI %3 back. No keeps "
                       "IMEI %3 aside for good: no handset gets it unless an engineer restores "
                       "it.")},
    {"question.pending_imei_of_unit",
     QT_TRANSLATE_NOOP("OperatorText",
                       "The run on port %1 at %2 (%3) stopped after the format, before IMEI %4 "
                       "was written back. Is this that handset? Yes gives it IMEI %4 back. No "
                       "keeps IMEI %4 aside for good: no handset gets it unless an engineer "
                       "restores it."), "3"},
    {"question.pending_imei_of_several",
     QT_TRANSLATE_NOOP("OperatorText",
                       "The run on port %1 at %2 stopped after the format, before IMEI %3 was "
                       "written back; it is one of %4 IMEIs pending in this station. Is this "
                       "that handset? Yes gives it IMEI %3 back. No leaves IMEI %3 pending for "
                       "its own handset.")},
    {"question.pending_imei_of_unit_of_several",
     QT_TRANSLATE_NOOP("OperatorText",
                       "The run on port %1 at %2 (%3) stopped after the format, before IMEI %4 "
                       "was written back; it is one of %5 IMEIs pending in this station. Is "
                       "this that handset? Yes gives it IMEI %4 back. No leaves IMEI %4 pending "
                       "for its own handset."), "3"},
    // A unit whose serial matches an IMEI pending from another port: the
    // handset moved to another fixture, or its label was scanned by mistake.
    {"question.pending_imei_moved",
     QT_TRANSLATE_NOOP("OperatorText",
                       "Unit %1 stopped on port %2 at %3 after the format, before IMEI %4 was "
                       "written back; this handset, scanned as unit %1, is on port %5. Is it "
                       "that handset? Yes gives it IMEI %4 back. No leaves IMEI %4 pending and "
                       "stops this run before the format.")},

    // The factory network (IPC-CFX): the MES's word before a unit, its lock
    // on the station, messages that could not be queued.
    {"mes.refused", QT_TRANSLATE_NOOP("OperatorText", "the MES refused unit %1: %2")},
    {"mes.disagreed_advisory",
     QT_TRANSLATE_NOOP("OperatorText",
                       "the MES did not agree to unit %1: %2; the run goes on (cfx-validate = "
                       "advisory)")},
    {"mes.no_answer_advisory",
     QT_TRANSLATE_NOOP("OperatorText",
                       "the MES did not answer about unit %1: %2; the run goes on (cfx-validate = "
                       "advisory)")},
    {"cfx.station_locked",
     QT_TRANSLATE_NOOP("OperatorText",
                       "the station is locked by the MES (%1): no run until it is unlocked")},
    {"cfx.station_locked_by",
     QT_TRANSLATE_NOOP(
         "OperatorText",
         "the station is locked by the MES (%1, by %2): no run until it is unlocked")},
    {"cfx.not_queued",
     QT_TRANSLATE_NOOP("OperatorText",
                       "CFX: %1 could not be queued for the factory network (%2); the run goes "
                       "on without them"), "1"},
    {"part.cfx_start", QT_TRANSLATE_NOOP("OperatorText", "the run's start messages")},
    {"part.cfx_end", QT_TRANSLATE_NOOP("OperatorText", "the run's end messages")},
    {"part.cfx_interrupted", QT_TRANSLATE_NOOP("OperatorText", "the interrupted run's messages")},
    {"part.cfx_rebuilt",
     QT_TRANSLATE_NOOP("OperatorText", "an earlier run's end messages, kept in the run journal")},
    {"cfx.journal_keeps",
     QT_TRANSLATE_NOOP("OperatorText",
                       "CFX: the run journal keeps this run's end messages, and the next run on "
                       "port %1 queues them")},
    {"cfx.lost",
     QT_TRANSLATE_NOOP("OperatorText",
                       "CFX: this run's end messages are lost: the run journal cannot keep them "
                       "either; free space on the disk")},
    // The sender that the panels and the grid keep running.
    {"cfx.sender_missing",
     QT_TRANSLATE_NOOP("OperatorText",
                       "CFX: the sender %1 is missing; the messages wait in the station's queue")},
    {"cfx.sender_cannot_run",
     QT_TRANSLATE_NOOP("OperatorText",
                       "CFX: the sender cannot run (%1); the messages wait in the station's "
                       "queue and it is tried again")},
    {"cfx.sender_stopped",
     QT_TRANSLATE_NOOP("OperatorText",
                       "CFX: the sender stopped (%1) and is started again; the messages wait in "
                       "the station's queue")},
    {"cfx.endpoint_not_queued",
     QT_TRANSLATE_NOOP("OperatorText",
                       "CFX: the panels' EndpointConnected could not be queued: %1")},

    // The station grid's tiles (the grid's own lines are English strings, which
    // its window recognises and translates).
    {"grid.cannot_start", QT_TRANSLATE_NOOP("OperatorText", "cannot start the port's process: %1")},
    {"grid.no_run", QT_TRANSLATE_NOOP("OperatorText", "no run: %1")},
    {"grid.child_ended",
     QT_TRANSLATE_NOOP("OperatorText", "the port's process %1; Run starts a new one")},
    {"grid.customer_stays",
     QT_TRANSLATE_NOOP("OperatorText", "the customer stays until the runs under way have ended")},
    {"grid.operator_stays",
     QT_TRANSLATE_NOOP("OperatorText", "the operator stays until the runs under way have ended")},
    {"grid.operator_required",
     QT_TRANSLATE_NOOP("OperatorText",
                       "this station requires the operator's id: enter it above first")},
    {"grid.unit_refused", QT_TRANSLATE_NOOP("OperatorText", "refused: %1; nothing runs")},
    {"grid.scan_first",
     QT_TRANSLATE_NOOP("OperatorText", "scan the unit first: this station requires its serial")},

    // The yield window's title (the window recognises and translates it).
    {"report.title_since",
     QT_TRANSLATE_NOOP("OperatorText", "First-pass and final yield since %1 (%2)")},
    {"report.title", QT_TRANSLATE_NOOP("OperatorText", "First-pass and final yield (%1)")},

    // The run journal.
    {"journal.cannot_write",
     QT_TRANSLATE_NOOP("OperatorText",
                       "the run journal cannot be written (%1): this run refuses to format the "
                       "handset, so that its IMEI cannot be lost")},
    {"journal.distrusted",
     QT_TRANSLATE_NOOP("OperatorText",
                       "%1: a pending IMEI may be hidden in it, so no IMEI read-back or format "
                       "runs on this port until a line engineer has looked (\"ffsload pending\" "
                       "lists it, \"ffsload pending --port %2 --resolve-damaged\" sets damaged "
                       "lines aside)")},
    {"journal.not_tidied",
     QT_TRANSLATE_NOOP("OperatorText", "the run journal could not be tidied: %1")},
    {"journal.end_not_noted",
     QT_TRANSLATE_NOOP("OperatorText", "the run journal cannot note the run's end: %1")},
    {"journal.write_back_not_noted",
     QT_TRANSLATE_NOOP("OperatorText", "the run journal cannot note the IMEI write-back: %1")},
    {"journal.fate_not_noted",
     QT_TRANSLATE_NOOP("OperatorText",
                       "the run journal cannot note what became of a pending IMEI: %1")},

    // The run records.
    {"records.problem", QT_TRANSLATE_NOOP("OperatorText", "records: %1")},
    {"records.forwarded",
     QT_TRANSLATE_NOOP("OperatorText",
                       "records: %1 record(s) kept in %2 are now stored with the others")},
    {"records.kept_in_outbox",
     QT_TRANSLATE_NOOP("OperatorText",
                       "records: %1; this run's record is kept in %2 and sent when the records "
                       "can be written again")},
    {"records.set_aside",
     QT_TRANSLATE_NOOP("OperatorText",
                       "records: %1 record(s) refused by the records for what they hold are set "
                       "aside in %2 (ffsload report counts them): %3")},
    {"records.nowhere",
     QT_TRANSLATE_NOOP("OperatorText",
                       "records: neither the records nor the outbox can take this run's record: "
                       "%1; %2")},
    {"records.journal_keeps",
     QT_TRANSLATE_NOOP("OperatorText",
                       "records: the run journal keeps this run's outcome, unit and IMEI, and the "
                       "next run on port %1 records it (without its log)")},
    {"records.lost",
     QT_TRANSLATE_NOOP("OperatorText",
                       "records: this run's record is lost: the run journal cannot keep it "
                       "either; free space on the disk")},
};

}  // namespace

std::span<const OperatorTextSource> operator_text_catalogue() {
  return {std::begin(kCatalogue), std::end(kCatalogue)};
}

}  // namespace platform

#pragma once

#include <string>

namespace vna::core {
struct AppState;
struct Program;
} // namespace vna::core

// Who the instrument is: the version query, the version file, the model and firmware checks and
// the identity dialog.
namespace vna::instrument {

// The version query ("V", reply ending in "@"). Sets `IdentState` (1 answered with "vna", -1
// answered without it, 0 no complete answer), `InstrumentPresent` and `LastError` (10 without an
// answer). With `full` above 0 it also takes the texts and capabilities of the reply, writes the
// version file and, when the instrument did not identify itself, switches to demo mode.
void IdentifyInstrument(core::Program& p, int full);
// Looks for "sn=" in the version text and takes the number after it as `instrument_id`; a reply
// without it is not from this instrument ("This program is only valid for the VNA.").
void CheckModel(core::Program& p);
// Firmware below 2.50 ends the program after "This program requires firmware version 2.50 or
// higher.".
void CheckFirmware(core::Program& p);
// The text of the identity dialog: "ID Num= " + id + " " + version text (+ " DEMO MODE ").
std::string IdentityText(const core::AppState& st);
// Shows the identity dialog (with the controller data lines first in diagnostic mode).
void ShowIdentity(core::Program& p);
// "version" + instrument_id + ".txt" in the program's folder ("version.txt" before an ID is
// known or after a failed identification).
std::string VersionFileName(const core::AppState& st);
// Writes the version file; false when it could not be written.
bool WriteVersionFile(core::Program& p);

} // namespace vna::instrument

#pragma once

#include <array>
#include <cstdint>
#include <string>

#include "core/tdr_state.h"

// The one program-wide state record. Every subsystem reads and writes its public fields directly;
// the fields carry the names of their init-file keys where they have one. All access happens on
// the program's one thread.
namespace vna::core {

using Flag = std::int32_t; // 0 off, any other value on (the file readers store 1)
using Rgb = std::uint32_t; // red + 256 * green + 65536 * blue

constexpr Rgb Color(int r, int g, int b) {
    return static_cast<Rgb>((r & 0xff) | ((g & 0xff) << 8) | ((b & 0xff) << 16));
}

// One frequency band of the band scan and the band highlighting.
struct Band {
    double start = 0; // MHz
    double end = 0;   // MHz
    double step = 0;  // MHz
    std::string name; // leading blanks are part of the name
};

inline constexpr int MarkerSlots = 20;
inline constexpr int MarkerFields = 11;

// Marker fields by index: 0 frequency (MHz, free when >= 999), 1 Rs, 2 Xs, 3 Zmag, 4 phase
// (radians), 5 SWR, 6 return loss (dB), 7 and 8 unused, 9 S21 (dB), 10 S21 phase (radians).
using Marker = std::array<double, MarkerFields>;

inline constexpr double MarkerNotSet = 9999;   // free slot after start-up
inline constexpr double MarkerCleared = 10000; // free slot after clearing or removal

struct MarkerTable {
    std::array<Marker, MarkerSlots + 1> slot{}; // slots 1..20; slot 0 unused
    std::int32_t markerNext = 1;
    std::int32_t markerCount = 0;
    double markerRotation = 0; // degrees
};

// The settings a scan was taken with. They travel with the scan's arrays into its scan file and
// come back from it, so a replay smooths and references the scan as it was measured.
struct ScanSettings {
    std::int32_t trend = 0;
    std::int32_t average = 4;
    double Zo = 50;
    std::int32_t customCal = 0; // the scan was corrected with a custom cal
    std::int32_t recorded = 0;  // 0 until a sweep or a scan file set them (the writers then take
                                // the present settings)
    // The grid the scan's points lie on. The scan limits are shared by the two ports, so a sweep
    // of the other port moves them away from the points this port holds; its files are written
    // with these.
    double start = 0; // MHz
    double end = 0;
    double step = 0;
    std::int32_t points = 0; // points of the grid (a Port B file holds points + 1 blocks)
    std::int32_t last = -1;  // index of the last point stored
};

inline constexpr int BandCount = 16;
inline constexpr int DefaultColorCount = 16;
inline constexpr int ScanCapacity = 30012;
// The most points a sweep grid, and so a scan, holds (the config file may set fewer).
inline constexpr int MaxSweepPoints = 30010;

// 1. Program identity and fixed limits (set at start-up, never persisted).
struct ProgramConstants {
    std::string ProgramVersion = "546";
    std::string VersionLetter = "B";
    std::string BuildDate = " Feb 4 2014";
    std::string AboutText;
    // The model number shown after "VNA-" in the title. Our instrument is the 180 MHz model of
    // the family, so its model number is the frequency limit.
    std::int32_t ModelNumber = 180;
    std::int32_t InitFileFormat = 4145;
    std::int32_t ConfigVersionRequired = 251;
    std::int32_t ScanFileFormatA = 127;
    std::int32_t ScanFileFormatB = 4076;
    double minimum_freq = 0.005;
    double ZoMinimum = 3.1;
    double maximumfreq = 180;
    std::int32_t maximumfreqInt = 180;
    double osc_freq = 400;
};

// 2. Run-time state, not persisted and not touched by ResetToDefaults.
struct RunState {
    Flag InstrumentPresent = 1;
    std::int32_t LastError = 0;
    Flag DiagMode = 0; // diagnostic switch 5
    // Diagnostic switches 1..4: resonance analysis output, screen-geometry diagnostic, reading
    // correction and multichannel cal output, command dispatcher.
    Flag DiagSwitch1 = 0;
    Flag DiagSwitch2 = 0;
    Flag DiagSwitch3 = 0;
    Flag DiagSwitch4 = 0;
    std::string KeyCodeBuffer;
    std::int32_t averageOther = 4;
    Flag ProgramRunning = 0;
    Flag porta_cal_ok = 0;
    Flag portb_cal_ok = 0;
    std::int32_t CommandLineScan = 0;
    Flag ConfigLoaded = 0;
    Flag ConfigFromMenu = 0;
    // Set when the config file editor saved a file during this run: hardware commands then ask
    // for a restart instead of saying that the hardware is missing.
    Flag ConfigEdited = 0;
    std::int32_t DateCode = 0; // yymmdd

    // Number of decimals of the number-to-text rule at this moment (at most 40). The file
    // readers and writers set it around their work and put it back to 3 afterwards.
    std::int32_t NumDecimals = 4;

    // The program's folder ("data folder"), with its trailing separator: init file, default
    // config, last graphs, version file, TDR file.
    std::string ProgramFolder;
    std::int32_t ScreenWidth = 1024;
    std::int32_t ScreenHeight = 768;
    // Serial device named on the command line (--serial) or in VNA_SERIAL; when set it is used
    // instead of the device of the numbered port `commport`.
    std::string SerialDevice;
    // The user asked for a run without an instrument (--demo): the instrument is not tried.
    Flag DemoRequested = 0;
    // The program runs without a window (vna-cli, libvnactl): its messages leave out the hints that
    // only make sense in the window (menus to click, the folder of the .exe file).
    Flag NoWindow = 0;
    // The instrument's version text of the last version query.
    std::string VersionText;
    // A sweep (or another long measuring loop) is under way: keys are ignored and the "Scan"
    // buttons refuse; a key press or click clears it to stop the sweep.
    Flag SweepRunning = 0;
    // Quit was asked for (possibly before the main loop runs); start-up then leaves the program
    // not running, so the shutdown sequence follows at once.
    Flag QuitRequested = 0;
    Flag KeyHeld = 0;
    Flag CtrlHeld = 0;
    Flag ShiftHeld = 0;

    // ---- Start-up, main loop and shutdown ----
    std::string WindowTitle;
    std::string CommandLineFile;
    std::int32_t ScanFileMode = 1; // 1 last-graph file, 3 the file named on the command line
    std::int32_t TextHeight = 0;
    std::int32_t TextWidth = 0;
    std::int32_t LineStep = 0;
    std::int32_t LineStep2 = 0;
    // The two 50-ohm values set at start-up: the bridge resistance of the reading correction and
    // the standard resistor of the calibration.
    double BridgeResistance = 50;
    double StdResistance = 50;
    // Main-window displays that the shutdown sequence resets.
    Flag TdrActive = 0;
    Flag SmithActive = 0;
    Flag PolarActive = 0;

    // ---- Smith chart and polar plot ----
    std::int32_t smithZoom = 1;  // zoom step 1..5 of the Smith charts
    double smithRotation = 0;    // degrees, "Smith Chart 2"
    std::int32_t polarMode = 0;  // 0 SWR, 1 |Z|, 2 |S11| (the order of the "Polar Plot" menu)
    std::int32_t polarScale = 1; // 1..5, the full scale of the polar plot
    std::int32_t smithX = 50;    // top-left corners of the chart windows on the screen
    std::int32_t smithY = 50;
    std::int32_t polarX = 50;
    std::int32_t polarY = 50;

    // ---- Init, config and state files ----
    // The config version found in lines 2..6 of the last config file read, and its header line
    // (shown when a config file is loaded from the menu).
    std::int32_t configVersion = 0;
    std::string configHeader;
    // Only one config editor window at a time.
    Flag ConfigEditorOpen = 0;
    // Folder of the last file chosen in a file dialog; the state file dialogs start there.
    std::string lastDialogFolder;

    // ---- Graph window, scan plot and main window ----
    std::int32_t scan_points = 100;    // N, the number of points of the present grid
    std::int32_t last_scan_index = -1; // index of the last point stored by the last sweep
    Flag recycle = 0;                  // repeating sweep
    Flag BandScanRunning = 0;
    Flag plotInsertionLoss = 0;    // the insertion-loss trace of Port B (not kept in the init file)
    double insertionLossScale = 1; // dB per division of the insertion-loss trace
    Flag RefToAntenna = 0;         // readings referred to the antenna through the feed line
    Flag LightColorSet = 0;        // the next sweep of a recycle run draws in the light colours
    Flag GainColorOption = 0;      // "Toggle Gain Color"
    std::string scanStampA;        // date and time of the Port A scan shown
    std::string scanStampB;
    std::string scanFileNameA; // file name of the Port A scan shown, for the caption line
    std::string scanFileNameB;
    std::string tdrFileName;
    // Suffix (0 or 1) of the automatically saved graph of each port that was saved or shown last;
    // the next automatic save and Swap Graphs both flip it first.
    std::int32_t swapToggleA = 0;
    std::int32_t swapToggleB = 0;
    Flag CursorDragging = 0;
    double cursorFreq = 0; // MHz under the cursor line; 0 until the cursor has been on the graph
    // A resize seen but not yet applied: the graph is rebuilt at the next mouse movement.
    Flag ResizePending = 0;
    std::int32_t ResizeWidth = 0;
    std::int32_t ResizeHeight = 0;

    // ---- Scan files ----
    ScanSettings scanSettingsA;
    ScanSettings scanSettingsB;
    std::string scanDescriptionA; // the comment of the Port A scan (scan file, CSV, "Comment")
    std::string scanDescriptionB;
    // The arrays of the port hold a scan measured or loaded during this run. Only such a scan
    // replaces the last graph at exit: an empty port must not overwrite the one saved last time.
    Flag scanHeldA = 0;
    Flag scanHeldB = 0;
    // Set while Swap Graphs loads a saved graph: nothing is saved automatically meanwhile.
    Flag autoSaveSuppressed = 0;
    // Lowest SWR of the Port A scan and its frequency (MHz), found after every sweep and replay.
    double min_swr = 10000;
    double min_swr_freq = 0;

    // ---- Instrument link, commands, raw readings, identification and health ----
    std::int32_t BaudRate = 57600;
    std::string PortName; // the device the link opened last
    // Why the last open of PortName failed, in the user's words (empty when it opened).
    std::string PortProblem;
    // -1 while an exchange is under way, 0 after a time-out or a failed open, 1 after an accepted
    // reply or a successful open.
    std::int32_t LinkOk = 0;
    // Version query: 1 answered with "vna", -1 answered without it, 0 no complete answer.
    std::int32_t IdentState = 0;
    std::string ControllerText;
    Flag TempSensor = 0;
    Flag FlashPresent = 0;
    std::int32_t MaxBaudHigh = 0;
    Flag SyncSupported = 0;
    double Temperature = 88.88; // degF; 88.88 while unknown
    double SupplyVolts = 0;
    double SupplyVoltsMin = 99; // lowest valid supply reading since start
    Flag LowVoltGuard = 1;
    // The unit's date code as read from its flash (four words; 0xFFFF when erased).
    std::array<std::uint16_t, 4> DateCodeWords{};
    // Date and time of the program file, for the version file; set by the program's main().
    std::string ProgramFileDate;
    std::int32_t PortA_Option = 2;
    Flag PortBMode = 0;
    Flag Measuring = 0;
    Flag RelayBit0 = 0;
    Flag RelayBit1 = 0;
    std::int32_t RelaysSet = 0;
    Flag RfActive = 0;
    Flag ReadingValid = 0;
    Flag HardwareEnabled = 1;
    std::int32_t SweepPass = 0;
    double AmplitudeSent = -1; // percent last sent with "M"; -1 before the first
    // Expansion port: MUX channel (register 1, with the analog-input flag), registers 0 and 2 of
    // the expansion-port dialog, and the last value read.
    std::int32_t MuxChannel = 0;
    Flag ExpansionAnalog = 0;
    std::int32_t ExpansionReg0 = 0;
    std::int32_t ExpansionReg2 = 0;
    std::int32_t ExpansionValue = 0;
    // The last raw reading: its bytes, its 33 ADC words (-1 while a resend is pending) and what the
    // demodulation made of it.
    std::array<std::uint8_t, 72> RawBytes{};
    std::array<std::int32_t, 33> AdcWords{};
    double MagLoad = 0;
    double MagRef = 0;
    double PhaseLoad = 0;
    double PhaseRef = 0;
    double PhaseDiff = 0;
    std::array<double, 2> AdcMean{}; // load, reference
    double RefRatio = 0;
    // Uncorrected impedance of the last Port A reading: (RsRaw + 50) + j XsRaw is the raw value.
    double RsRaw = 0;
    double XsRaw = 0;
    double PhaseDeg = 0;

    // ---- External control ----
    // 1 for the duration of every exported function (a host program is calling, no user).
    Flag ExternalCall = 0;
    // A "Z2" sync pulse before each external point while positive (with `SyncSupported`); 1 means
    // once: it falls back to 0 after the first pulse.
    std::int32_t SyncMode = 0;
    // The source is held at a constant frequency for a host; the point functions clear it.
    Flag ConstantFreqMode = 0;

    // ---- Calibration data, interpolation and reading correction ----
    Flag cal_loaded = 0; // a cal file was accepted
    // 0 for an ordinary cal file; 1..6 while a multichannel cal saves the file of channel k.
    std::int32_t multichan_number = 0;
    // The cal file name chosen for channel 1 of a multichannel cal; channels 2..6 follow it.
    std::string calSaveName;
    // A multichannel array scan is running: a custom cal file loaded then sets the scan limits.
    Flag ArrayScanRunning = 0;
    // The vector scope's window is open (its readings run); the S key then asks it for an array
    // scan, which it runs between two rounds of readings.
    Flag VectorScopeOpen = 0;
    Flag ScopeScanRequested = 0;
    // Scan point whose interpolated cal values the reading correction uses; set by the sweeps.
    std::int32_t CalIndex = 0;
    // Diagnostic: readings are shown uncorrected.
    Flag RawMode = 0;

    // ---- Calibration procedures ----
    // Board temperature when the running calibration started (degF).
    double CalStartTemperature = 88.88;
    // Frequency calibration: the last standard frequency entered (MHz, 0 before the first) and
    // the ID of the instrument it was made on.
    double FreqCalStandard = 0;
    std::string FreqCalUnitID;

    // ---- Port A and Port B sweeps ----
    // 1: the next sweep measures with the instrument; 0: it replays the stored arrays (while a
    // loaded scan is redrawn). `SweepRunning` is the running flag of a sweep.
    Flag live_scan = 1;
    // Temperature compensation of the Port A impedance phase: radians per degF and MHz (scaled
    // by 1/180/57.3) and the reference temperature (degF), set from the diagnostic screen. 0
    // leaves the phase alone.
    double myvar1 = 0;
    double myvar2 = 0;
    // Two more diagnostic values of the "My Vars" menu, shown in the status window.
    double myvar3 = 0;
    double myvar4 = 0;
    // Port B correction: the electrical delay removed from every phase (seconds), the last
    // accepted phase (keeps the phase from flipping between +pi and -pi), and the phase offset
    // the receiver range changes of the running sweep have collected (radians).
    double PortB_Delay = 0;
    // The phase offset the user set (radians), taken off every Port B phase; for this run only.
    double PortB_PhaseOffset = 0;
    double PortB_PhaseMemory = 0;
    double PortB_RangeOffset = 0;
    // Receiver gain of Port B (dB) by `PortB_Gain` step 1..5 (index 0 unused) and of the high
    // sensitivity, taken off the S21 level. The Port B calibration puts its own values in place.
    std::array<double, 6> PortB_LevelDb = {0, 0, 13.7, 27.4, 41.3, 53.9};
    double PortB_HighSensDb = 12.1;

    // ---- Band scan and sweep generator ----
    // `BandScanRunning` (above) is set while the band scan is the mode of the graph: Rescan then
    // repeats it, Scan and Halt leave it. A pass itself runs with `SweepRunning` set.
    // Sensitivity of the band scan: 1 normal, 2 high (Port A gain 2 during the scan).
    std::int32_t bandScanSensitivity = 1;
    // Sweep generator: the settling value (sent as one byte, 1..255), the four marker frequencies
    // (MHz; one below the start marks nothing) and whether the instrument is sweeping now.
    std::int32_t sweepSettling = 10;
    std::array<double, 4> sweepMarkers{};
    Flag sweepOn = 0;

    // ---- Crystal parameters ----
    // The nominal frequency last entered (MHz) and the results of the last complete measurement
    // (a failed one leaves them as they were): frequencies in MHz, Rs in ohm, capacitances in pF,
    // the motional inductance in uH. `xtalNumber` is the sequence number last saved.
    double xtalNominal = 0;
    double xtalCp = 0;
    double xtalFs = 0;
    double xtalFp = 0;
    double xtalRs = 0;
    double xtalQ = 0;
    double xtalCs = 0;
    double xtalLs = 0;
    double xtalNumber = 0;
    // The " Large capacitance" warning is shown once per run.
    Flag xtalCapacitanceWarned = 0;

    // ---- Audio feedback ----
    // SWR of the latest point-data reading (limited to 999); -1 before the first.
    double CurrentSwr = -1;
    // The scaled value spoken last (0: nothing spoken yet) and the readings left until an
    // unchanged value is spoken again.
    std::int32_t LastSpoken = 0;
    std::int32_t VoiceCountdown = 0;
    // The MIDI output is open (the Sound port holds the device itself).
    Flag MidiOut = 0;
    Flag ToneOn = 0; // switched on in the point-data window
    std::int32_t ToneProgram = 79;
    std::int32_t ToneNote = 0;     // the note to sound next
    std::int32_t SoundingNote = 0; // the note sounding now
    double LastLnSwr = 0;          // ln(SWR) at the last change of the tone
    Flag ToneFirst = 0;            // the next tone update sounds even without a change
    // The point-data window is up, with its tone button at left, top, right, bottom.
    Flag PointDataRunning = 0;
    std::array<std::int32_t, 4> ToneButton{};
};

// 3 to 9: the settings of the init and config files, the file table, colours, markers, bands and
// the derived tables; ResetToDefaults() puts all of them back to their defaults.
struct Settings {
    // ---- 3. Persistent settings of the init file ----
    double freq = 5;
    double start_freq = 5;
    double end_freq = 25;
    double delta_freq = 0.202;
    std::string delta_freq_text; // delta_freq as the scan-limits dialog shows it
    double freq_comp = 1;
    double swr_scale = 10;
    Flag swrLog = 0;
    double zmag_scale = 1000;
    double phase_scale = 100;
    double Zo = 50;
    double VF = 0.66;
    double cable_length = 20;
    Flag plot_swr = 1;
    Flag plot_s11 = 0;
    Flag plots21 = 1;
    Flag plot_rt = 1;
    Flag plot_zmagA = 1;
    Flag plot_zmagB = 0;
    Flag plot_rsA = 1;
    Flag plot_rsB = 0;
    Flag plot_rpA = 0;
    Flag plot_rpB = 0;
    Flag plot_Q = 0;
    Flag plot_delay = 0;
    Flag plot_ZphaseA = 1;
    Flag plot_ZphaseB = 0;
    Flag plot_phaseS21 = 1;
    Flag plot_phaseS11 = 0;
    std::int32_t commport = 6;
    std::int32_t cursorena = 1;
    Flag autopoweroff = 0;
    double Z0imag = 0;
    double Z0real = 50;
    std::int32_t average = 4;
    double ExtensionLength = 0;
    Flag PortB_on = 0;
    double s21gain_scale = 10;
    double s21phase_scale = 0;
    double s11gain_scale = -60;
    double delay_scale = 0;
    std::int32_t delay_smoothing = 2;
    std::int32_t PortB_Gain = 1;
    std::int32_t PortB_Sens = 1;
    std::int32_t PortA_Gain = 1;
    std::int32_t PortA_Sens = 2;
    Flag autorange = 1;
    std::string config_file_name;
    std::string cal_file_name;
    Flag highlight = 0;
    Flag bandskip = 0;
    double swr_ruler = 1.5;
    std::int32_t fullscan = 1;
    double loss = 0.0035 / 8.686;
    std::int32_t trend = 0;
    Flag trendOn = 0; // trend >= 1
    std::int32_t Level = 1;
    double rtloss_scale = 20;
    std::int32_t swrminfreq = 1;
    std::int32_t swrmaxfreq = 30;
    std::int32_t swrmax = 10;
    std::int32_t DDSdelay = 2;
    double avgweight = 1;
    std::int32_t interpolate = 1;
    std::int32_t swrstyle = 0;
    std::int32_t zmagstyle = 0;
    std::int32_t rsstyle = 0;
    std::int32_t xsstyle = 0;
    std::int32_t phasestyle = 0;
    std::int32_t rtstyle = 0;
    std::int32_t s11style = 0;
    std::int32_t s21style = 0;
    std::int32_t delaystyle = 0;
    Flag voice = 0;
    double Q_scale = 100;
    Flag plot_at_zero = 0;
    double Zextension = 50;
    double ExtensionVP = 1;
    std::int32_t ExtensionFlag = 0;
    std::int32_t markerena = 0;
    double Zsm_real = 50;
    double Zsm_imag = 0;
    double DDS_Amplitude = 100;
    double ruler_1 = 0;
    double ruler_2 = 0;
    std::int32_t ruler1_on = 0;
    std::int32_t ruler2_on = 0;
    std::int32_t scana_ok = 0;
    std::int32_t scanb_ok = 0;
    std::int32_t Zero_Ref = 2;
    // Radians in memory, degrees in the init file (converted with 57.3).
    double Rng1 = 0;
    double Rng2 = 0.003490401396160559;
    double Rng3 = 0.041884816753926704;
    double Rng4 = 0.10820244328097732;
    double Rng5 = 0.11692844677137872;
    // Reference screen size of the layout rules.
    std::int32_t RefScreenWidth = 1024;
    std::int32_t RefScreenHeight = 768;
    std::int32_t WinHeight = 538;
    std::int32_t WinWidth = 921;
    Rgb RedColor = Color(240, 0, 0);
    Rgb Green = Color(0, 150, 0);
    Rgb Magenta = Color(200, 0, 200);
    Rgb Orange = Color(255, 174, 0);
    Rgb Yellow = Color(200, 200, 0);
    Rgb Blue = Color(0, 0, 200);
    Rgb LightRed = Color(240, 120, 0);
    Rgb LightGreen = Color(130, 240, 180);
    Rgb LightMagenta = Color(200, 180, 240);
    Rgb LightOrange = Color(255, 195, 125);
    Rgb LightYellow = Color(225, 225, 0);
    Rgb LightBlue = Color(175, 175, 250);
    // Low-current mode is held as its inverse; the init file stores LowPwrMode = 1 - DdsPowerOn.
    Flag DdsPowerOn = 1;
    std::int32_t Msec = 0;
    std::int32_t Recycle_depth = 3;
    std::int32_t RecycleDepth2 = 5;
    std::int32_t Mux_Cal = 0;
    std::string instrument_id;
    // The trace legend under the graph; kept in a line of its own after the init file's end line,
    // where readers of the fixed line table do not look.
    Flag LegendOn = 0;
    // ---- Init file: the spare text line (kept as read) and the extension phase constant that
    // reading ExtensionFlag computes ----
    std::string initSpareLine;
    double ExtensionAngle = 0;

    // ---- 4. Settings of the config file ----
    std::array<Rgb, DefaultColorCount + 1> defaultColors{}; // entries 1..16
    std::int32_t traceWidth = 2;
    std::int32_t traceWidth2 = 2;
    std::array<Band, BandCount + 1> bandTable{}; // entries 1..16
    std::int32_t bandCount = BandCount;
    Rgb bandFillColor = Color(240, 240, 240);
    std::int32_t maxScanPoints = 0;
    std::int32_t distanceUnits = 0;
    std::int32_t voltageWait = 200;
    std::int32_t defaultWinWidth = 921;
    std::int32_t defaultWinHeight = 538;
    std::int32_t graphFontSize = 7;
    Flag boldGraphFont = 1;
    double smithSize = 1;
    std::int32_t rescanPause = 300;
    Flag HighBaud = 0;
    double dspthreshold = 0;
    double dspthreshold_factor = 2;
    std::int32_t reservedLimit = 0;
    std::int32_t externalControl = 0;
    Flag autoSaveGraph = 1;
    std::int32_t voiceDecimals = 1;
    std::int32_t voiceRepeat = 0;
    std::int32_t configEntry59 = 0; // stored only
    std::int32_t zStepTolerance = 0;
    double parkFreq = 3.313;
    std::int32_t HighBaudRate = 115000;
    Flag swrLift = 1;
    std::string controlfile;
    std::string outputfile = "c:\\AutoScan.csv";
    std::string voicefilefolder = "Sounds_1\\";
    std::string registryPath = "hkey_current_user\\software\\MORVANE\\";

    // ---- 5. File table: folder (with separator) and full path of the last file of each kind ----
    std::string cal_folder;
    std::string cal_file;
    std::string config_folder;
    std::string config_file;
    std::string scan_folder;
    std::string scan_file;
    std::string spare_folder;
    std::string spare_file;
    std::string picture_folder;
    std::string picture_file;
    std::string marker_folder;
    std::string marker_file;

    // ---- 6. Colours beyond the twelve trace colours ----
    Rgb traceColor7 = Color(0, 200, 200);
    Rgb chartFillColor = Color(180, 220, 255);
    Rgb gridColor = Color(230, 230, 230);
    Rgb monitorTextColor = Color(200, 0, 0);
    Rgb sectionLineColor = Color(200, 200, 200); // gridColor less 30 in each component
    Rgb blueShade1 = Color(64, 122, 252);
    Rgb blueShade2 = Color(0, 0, 255);
    Rgb blueShade3 = Color(150, 150, 250);

    // ---- 7. Marker table ----
    MarkerTable markers;

    // ---- 9. Derived tables and constants of the defaults routine ----
    std::array<double, 16> sinTab1{};
    std::array<double, 16> cosTab1{};
    std::array<double, 16> sinTab2{};
    std::array<double, 16> cosTab2{};
    std::array<double, 16> sinTab3{};
    std::array<double, 16> cosTab3{};
};

struct AppState : ProgramConstants, RunState, Settings, TdrSettings {};

// Unit constants of the defaults routine.
inline constexpr double Pico = 1e-12;
inline constexpr double Nano = 1e-9;
inline constexpr double Micro = 1e-6;
inline constexpr double Nano45 = 45 * 1e-9;
inline constexpr double Pico10 = 10 * 1e-12;
inline constexpr double TwoPi = 6.283185308;
// The value of pi the sample tables were built with.
inline constexpr double TablePi = 3.141592654;

// The date as the integer yymmdd.
std::int32_t MakeDateCode(int year, int month, int day);

// The default colour of config line k (1..16).
Rgb DefaultColor(int k);

// Fills every setting (groups 3 to 9) with its default and computes the derived tables. The
// screen size (ScreenWidth, ScreenHeight) decides the default window size; ProgramFolder is where
// the file dialogs start. The date is today's.
void ResetToDefaults(AppState& st, int year, int month, int day);

// Recounts markerCount: slots whose frequency lies above 0.001 and below 999 (a slot from 999 on
// is free).
void RecountMarkers(AppState& st);

} // namespace vna::core

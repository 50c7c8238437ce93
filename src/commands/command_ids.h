#pragma once

// Command numbers of the main window's menu items and buttons.
namespace vna::commands::cmd {

enum : int {
    // Buttons, left to right.
    ButtonPortAB = 1,
    ButtonScan,
    ButtonRescan,
    ButtonRecycle,
    ButtonPointData,
    ButtonLimits,
    ButtonScales,
    ButtonSmith,
    ButtonComment,
    ButtonStatus,
    ButtonHalt,
    ButtonQuit,

    // File.
    LoadGraph = 100,
    SaveGraph,
    SwapGraphs,
    SaveImageBitmap,
    Print,
    LoadCalFile,
    LoadConfigFile,
    SaveState,
    RecallState,
    DcPowerOff,
    Quit,

    // Functions.
    DistanceToFault = 200,
    ReferToAntenna,
    ConstantFreq,
    BandScanNormal,
    BandScanHigh,
    MeasureCrystal,
    QuarterWaveStub,
    QMeasurement,
    AntennaBandwidth,
    LineExtension,
    DspFilter1,
    DspFilter2,
    PlotMagRef,
    SweepGenerator,

    // Calibrate.
    StandardCal = 300,
    CustomCal,
    PortBCal,

    // Setup.
    PlotParameters = 400,
    StyleSwr,
    StyleZmag,
    StyleRs,
    StyleXs,
    StylePhase,
    StyleReturnLoss,
    StyleS21,
    StyleS11,
    StyleDelay,
    Legend,
    ClearAllStyles,
    ColorSelection,
    CursorNormallyOn,
    SwrRuler,
    RecycleDepth,
    EnterCommPort,
    VoiceOutput,
    SwrTone,
    BattAutoOff,
    LowCurrentMode,
    DefaultGraphSize,
    TemperatureComp,
    ToggleGainColor,
    DiagModeOff,
    DebugToggle,
    // "Baud Rate": BaudRateItem + k for entry k (0..3) of the baud-rate list.
    BaudRateItem,
    BaudRateLast = BaudRateItem + 3,

    // Markers.
    DisplayMarkerData = 500,
    PhaseRotation,
    ToggleMarkers,
    ClearAllMarkers,
    SaveMarkers,
    RecallMarkers,
    RotateSmithChart,
    PolarSwr,
    PolarZ,
    PolarS11,

    // Bands: BandBase + k for band k of the band table.
    HighlightBands = 600,
    BandSkip,
    BandBase = 610,

    // Utilities.
    LcMatching = 700,
    DataAnalysis,
    TwelfthWave,

    // Port B Functions.
    AvgWeightLow = 800,
    AvgWeightMed,
    AvgWeightHigh,
    DelayTime,
    DelaySmoothing,
    Rulers,
    FilterBandwidth,
    Autoranging,
    PointDataAB,
    RfGainHigh,
    RfGainNormal,
    AfGain1, // AfGain1 + k - 1 for PortB_Gain k = 1..5
    AfGain2,
    AfGain3,
    AfGain4,
    AfGain5,
    PhaseOffsetCursor,
    PhaseOffsetManual,
    PhaseOffsetZero,
    VnaTest,

    // Multi Channel.
    VectorScope = 900,
    MuxControl,
    ScanChan1, // ScanChan1 + k - 1 for channel k = 1..6
    ScanChan6 = ScanChan1 + 5,
    CalMultiChannel,
    CleanMux,

    // TDR.
    TdrMode = 1000,
    TdrLinearZ,
    TdrRhoScale,
    TdrLinesDots,
    TdrVelocityFactor,
    TdrMetersFeet,
    TdrHighResolution,

    // Help.
    Manual = 1100,
    EditConfigFile,
    CheckForUpdate,
    About,

    // My Vars.
    MyVar1 = 1200,
    MyVar2,
    MyVar3,
    MyVar4,
};

} // namespace vna::commands::cmd

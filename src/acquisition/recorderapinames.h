#pragma once
// The entry points of the recorder API library in binding order, as lists
// of X-macro items: T(name) for an entry point the system calls (it has a
// typed pointer in RecorderApi), O(name) for one that is only bound and
// checked for presence. The recorder simulator exports every name here.

#define VEL_FIRST_LIST(T, O) \
    O(VelSetInterfaceType) \
    O(VelGetInterfaceState) \
    O(VelClrInterfaceState) \
    O(VelPing) \
    O(VelSetIPAddr) \
    T(VelInit) \
    O(VelGetLastError) \
    O(VelLinkModulePresent) \
    O(VelGetModuleCount) \
    O(VelGetMaxChannels) \
    T(VelGetModuleType) \
    O(VelGetModuleName) \
    O(VelGetSerNo) \
    O(VelGetFirmwareRev) \
    T(VelGetDLLVersion)

#define VEL_SECOND_LIST(T, O) \
    T(VelStartSampling) \
    T(VelStopSampling) \
    O(VelGetBufferState) \
    T(VelGetBufferState64) \
    O(VelGetBufferStateHiLo32) \
    O(VelStoreSamples) \
    T(VelStoreSamples64) \
    T(VelGetChannel) \
    O(VelStartPCRecording) \
    O(VelStopPCRecording) \
    O(VelStartCh10Recording) \
    O(VelStopCh10Recording) \
    O(VelRecordedSamples) \
    O(VelSetTrigger) \
    O(VelSetMultiTrigger) \
    T(VelGetSampleRate) \
    T(VelSetSampleRate) \
    T(VelGetChannelOptions) \
    T(VelGetChannelActive) \
    T(VelSetChannelActive) \
    T(VelGetDataWidth) \
    T(VelSetDataWidth) \
    T(VelGetInpRange) \
    T(VelSetInpRange) \
    O(VelGetInpRangedB) \
    O(VelSetInpRangedB) \
    T(VelGetHPFilter) \
    T(VelSetHPFilter) \
    T(VelGetLPFilter) \
    T(VelSetLPFilter) \
    T(VelGetIEPE) \
    T(VelSetIEPE) \
    O(VelGetJoint) \
    O(VelSetJoint) \
    O(VelGetSingleEnded) \
    O(VelSetSingleEnded) \
    O(VelSetYarvTermination) \
    O(VelGetYarvTermination) \
    O(VelSetYarvUserDelay) \
    O(VelGetYarvUserDelay) \
    O(VelStartChannelUpdate) \
    O(VelStopChannelUpdate) \
    O(VelCancelChannelUpdate) \
    T(VelCalibrate) \
    O(VelIsCalibrating) \
    T(VelCalibrationActive) \
    O(VelSystemBusy) \
    T(VelSetRPM) \
    T(VelGetRPM) \
    O(VelGetStreamfileHeaderInfo) \
    O(VelSetSystemTime) \
    O(VelGetSystemTime) \
    O(VelSetSystemTimeFromPC) \
    O(VelGetLinkModuleIPAddr) \
    O(VelSetLinkModuleIPAddr) \
    O(VelGetLinkModuleIPAddr_Mask) \
    O(VelSetLinkModuleIPAddr_Mask) \
    O(VelSaveParameterSet) \
    O(VelRestoreParameterSet) \
    O(VelClearParameterSet) \
    O(VelResetMemSaveSets) \
    O(VelReboot) \
    O(VelSetUSBWatchDog) \
    O(VelGetUSBWatchDog) \
    O(VelFeedUSBWatchdog) \
    O(VelQuibSetKeysLocked) \
    O(VelQuibGetKeysLocked) \
    O(VelSetDisplay) \
    O(VelGetDisplay) \
    O(VelQuibFanAuto) \
    O(VelQuibFanOn) \
    O(VelQuibFanOff) \
    O(VelQuibFanStatus) \
    O(VelFostalFanOn) \
    O(VelFostalFanOff) \
    O(VelFostalFanAuto) \
    O(VelFostalFanStatus) \
    O(VelGetPhysModuleAddr) \
    O(VelRecStartRecord) \
    O(VelRecStopRecord) \
    O(VelRecEraseMedium) \
    O(VelRecRepairMedium) \
    O(VelRecStandAloneStatus) \
    O(VelRecSetAnnotationData) \
    O(VelRecGetAnnotationDataSize) \
    O(VelRecGetAnnotationData) \
    O(VelRecClearGetAnnotationData) \
    O(VelRecFTPDownload) \
    O(VelRecFTPDirectory) \
    O(VelExportSetHeaders) \
    O(VelExportSetMaxDestFileLen) \
    O(VelExportInfo) \
    O(VelExportStart) \
    O(VelExportSetChannel) \
    O(VelExportGetChannel) \
    O(VelExportConvertChannels) \
    O(VelExportConvertChannels64) \
    O(VelExportDone) \
    O(VelExportPatch) \
    O(VelExportErrorFileName) \
    O(VelCh10LinkModulePresent) \
    O(VelCh10GetModuleCount) \
    O(VelCh10GetMaxChannels) \
    O(VelCh10GetModuleType) \
    O(VelCh10GetModuleName) \
    O(VelCh10GetSerNo) \
    O(VelCh10GetFirmwareRev) \
    O(VelCh10GetChannelActive) \
    O(VelCh10GetSampleRate) \
    O(VelCh10GetDataWidth) \
    O(VelCh10GetInpRange) \
    O(VelCh10GetInpRangedB) \
    O(VelCh10GetHPFilter) \
    O(VelCh10GetLPFilter) \
    O(VelCh10GetIEPE) \
    O(VelCh10GetJoint) \
    O(VelCh10GetSingleEnded) \
    O(VelCh10GetYarvTermination) \
    O(VelCh10GetYarvUserDelay) \
    O(VelCh10GetRPM) \
    O(VelCh10GetStartTime) \
    O(VelCh10GetAnnotationDataSize) \
    O(VelCh10GetAnnotationData) \
    O(VelCANEnable) \
    O(VelFlexSetChannelTermination) \
    O(VelFlexGetChannelTermination) \
    O(VelFlexSetBitrate) \
    O(VelFlexGetBitrate) \
    O(VelFlexGetChannelActive) \
    O(VelFlexSetChannelActive) \
    O(VelFlexGetMessagesAvailable) \
    O(VelFlexGetMessages) \
    O(VelFlexGetChannelStatus) \
    O(VelCANSetChannelTermination) \
    O(VelCANGetChannelTermination) \
    O(VelCANSetBitrate) \
    O(VelCANGetBitrate) \
    O(VelCANGetChannelActive) \
    O(VelCANSetChannelActive) \
    O(VelCANGetReplayChannel) \
    O(VelCANSetReplayChannel) \
    O(VelCANGetSamplePointPos) \
    O(VelCANSetSamplePointPos) \
    O(VelCANGetSyncJumpWidth) \
    O(VelCANSetSyncJumpWidth) \
    O(VelCANGetSamplingMode) \
    O(VelCANSetSamplingMode) \
    O(VelCANGetEdgeMode) \
    O(VelCANSetEdgeMode) \
    O(VelCANGetSilentMode) \
    O(VelCANSetSilentMode) \
    O(VelCANGetReplayTermination) \
    O(VelCANSetReplayTermination) \
    O(VelCANGetMessagesAvailable) \
    O(VelCANGetMessages) \
    O(VelGetFirstSampleTimeStamp) \
    O(VelTreskGetBridgeType) \
    O(VelTreskSetBridgeType) \
    O(VelTreskSetBridgePower) \
    O(VelTreskGetBridgePower) \
    O(VelSetDebugString) \
    O(VelTreskDoAutoZero) \
    O(VelGetAnalogChannelStatus) \
    O(VelGetAnalogChannelValueRaw) \
    O(VelGetAnalogChannelValue) \
    O(VelSetAnalogChannelValueHold) \
    O(VelTreskGetAutoZeroStatus) \
    O(VelTreskGetBridgePowerStatus) \
    O(VelEnableUnsupportedModule) \
    O(VelHalvekSetICP_10V) \
    O(VelHalvekGetICP_10V) \
    O(VelSetOptions) \
    O(VelGetComponentVersions) \
    O(VelGetComponentVersionsLength) \
    T(VelSetChannelUpdateBusyMode) \
    O(VelWolmiGetHPFilter) \
    O(VelWolmiSetHPFilter) \
    O(VelWolmiGetInputSelect) \
    O(VelWolmiSetInputSelect) \
    O(VelWolmiGetTermination) \
    O(VelWolmiSetTermination) \
    O(VelWolmiGetInpRange) \
    O(VelWolmiSetInpRange)

#define VEL_GROUP_A(T, O) \
    T(VelGetPolPower) \
    T(VelSetPolPower) \
    T(VelGetPreampPower) \
    T(VelSetPreampPower) \
    O(VelGetTedsInfo) \
    O(VelGetTEDSInfoEx) \
    O(VelRecGetTrigger) \
    O(VelRecSetTrigger) \
    O(VelSetLinkModuleParameterRec) \
    O(VelGetLinkModuleParameterRec) \
    O(VelGetChannelSampleRate)

#define VEL_GROUP_B(T, O) \
    O(VelGetChannelId) \
    O(VelCh10GetChannelId) \
    O(VelGetOutpRange) \
    O(VelSetOutpRange) \
    O(VelGetOutpRangedB) \
    O(VelSetOutpRangedB) \
    O(VelGetOutpChannel) \
    O(VelSetOutpChannel) \
    O(VelGetOutpSelection) \
    O(VelCANSendMessageMs)

#define VEL_GROUP_C(T, O) \
    O(VelSetLoopback) \
    O(VelGetLoopback)

#define VEL_GROUP_1_2(T, O) \
    O(VelGetNextFile) \
    O(VelGetFirstFile)

#define VEL_GROUP_1_3(T, O) \
    O(VelGetModuleStatus) \
    O(VelSetPlayStopTime)

#define VEL_GROUP_1_6(T, O) \
    O(VelSetReceiveTimeOut) \
    O(VelEnableExceptionMessageBox) \
    O(VelCANGetBusLoad)

#define VEL_GROUP_1_9(T, O) \
    O(VelGetMaxChannelsAnaInput) \
    O(VelGetMaxChannelsRPMInput) \
    O(VelGetMaxChannelsCANInput) \
    O(VelGetMaxChannelsAnaOutput) \
    O(VelCh10GetMaxChannelsAnaInput) \
    O(VelCh10GetMaxChannelsRPMInput) \
    O(VelCh10GetMaxChannelsCANInput) \
    O(VelCh10GetMaxChannelsAnaOutput) \
    O(VelGetChannelType) \
    O(VelSetOutpOperationMode) \
    O(VelGetOutpOperationMode) \
    O(VelSetOutpSelection) \
    O(VelSetMonitorMode) \
    O(VelGetMonitorMode) \
    O(VelSetGenerator) \
    O(VelGetGenerator) \
    O(VelGetModuleSampleRate) \
    O(VelSetOutpLoad) \
    O(VelFrontEndPlayStart) \
    O(VelFrontEndPlayStop) \
    O(VelFrontEndPlayUseUserData) \
    O(VelFrontEndPlayGetStatus) \
    O(VelSetIgnoreOID_ERROR) \
    O(VelPlaybackSelectFileByName) \
    O(VelPlaybackGetSelectedFile) \
    O(VelPlaybackStart) \
    O(VelPlaybackStop) \
    O(VelFrontEndPlayWaveFile)

#define VEL_GROUP_1_13(T, O) \
    O(VelSetChannelSampleRate) \
    O(VelSetModuleSampleRate)

#define VEL_GROUP_1_14(T, O) \
    O(VelPrepareChannelSampleRate) \
    O(VelSetChannelSampleRates) \
    O(VelSetOutpImpedance) \
    O(VelGetOutpImpedance) \
    O(VelGetChannelDataWidth) \
    O(VelSetChannelDataWidth) \
    O(VelCh10GetChannelDataWidth)

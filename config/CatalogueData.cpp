// The built-in class view: the Win32_ classes of root\cimv2 the program offers, by category, in the
// order their nodes are made.
#include "config/Catalogue.h"

namespace Config
{

namespace
{

const wchar_t* const CoolingDevicesClasses[] = {
    L"Win32_Fan",
    L"Win32_HeatPipe",
    L"Win32_Refrigeration",
    L"Win32_TemperatureProbe",
};

const wchar_t* const InputDevicesClasses[] = {
    L"Win32_Keyboard",
    L"Win32_PointingDevice",
};

const wchar_t* const MassStorageClasses[] = {
    L"Win32_AutochkSetting", L"Win32_CDROMDrive",    L"Win32_DiskDrive",
    L"Win32_FloppyDrive",    L"Win32_PhysicalMedia", L"Win32_TapeDrive",
};

const wchar_t* const MotherboardControllerAndPortClasses[] = {
    L"Win32_1394Controller",
    L"Win32_1394ControllerDevice",
    L"Win32_AllocatedResource",
    L"Win32_AssociatedProcessorMemory",
    L"Win32_BaseBoard",
    L"Win32_BIOS",
    L"Win32_Bus",
    L"Win32_CacheMemory",
    L"Win32_ControllerHasHub",
    L"Win32_DeviceBus",
    L"Win32_DeviceMemoryAddress",
    L"Win32_DeviceSettings",
    L"Win32_DMAChannel",
    L"Win32_FloppyController",
    L"Win32_IDEController",
    L"Win32_IDEControllerDevice",
    L"Win32_InfraredDevice",
    L"Win32_IRQResource",
    L"Win32_MemoryArray",
    L"Win32_MemoryArrayLocation",
    L"Win32_MemoryDevice",
    L"Win32_MemoryDeviceArray",
    L"Win32_MemoryDeviceLocation",
    L"Win32_MotherboardDevice",
    L"Win32_OnBoardDevice",
    L"Win32_ParallelPort",
    L"Win32_PCMCIAController",
    L"Win32_PhysicalMemory",
    L"Win32_PhysicalMemoryArray",
    L"Win32_PhysicalMemoryLocation",
    L"Win32_PNPAllocatedResource",
    L"Win32_PNPDevice",
    L"Win32_PNPEntity",
    L"Win32_PortConnector",
    L"Win32_PortResource",
    L"Win32_Processor",
    L"Win32_SCSIController",
    L"Win32_SCSIControllerDevice",
    L"Win32_SerialPort",
    L"Win32_SerialPortConfiguration",
    L"Win32_SerialPortSetting",
    L"Win32_SMBIOSMemory",
    L"Win32_SoundDevice",
    L"Win32_SystemBIOS",
    L"Win32_SystemDriverPNPEntity",
    L"Win32_SystemEnclosure",
    L"Win32_SystemMemoryResource",
    L"Win32_SystemSlot",
    L"Win32_USBController",
    L"Win32_USBControllerDevice",
    L"Win32_USBHub",
};

const wchar_t* const NetworkingDevicesClasses[] = {
    L"Win32_NetworkAdapter",
    L"Win32_NetworkAdapterConfiguration",
    L"Win32_NetworkAdapterSetting",
};

const wchar_t* const PowerClasses[] = {
    L"Win32_AssociatedBattery",    L"Win32_Battery",
    L"Win32_CurrentProbe",         L"Win32_PortableBattery",
    L"Win32_PowerManagementEvent", L"Win32_UninterruptiblePowerSupply",
    L"Win32_VoltageProbe",
};

const wchar_t* const PrintingDevicesClasses[] = {
    L"Win32_DriverForDevice",   L"Win32_Printer",       L"Win32_PrinterConfiguration",
    L"Win32_PrinterController", L"Win32_PrinterDriver", L"Win32_PrinterDriverDll",
    L"Win32_PrinterSetting",    L"Win32_PrintJob",      L"Win32_TCPIPPrinterPort",
};

const wchar_t* const TelephonyClasses[] = {
    L"Win32_POTSModem",
    L"Win32_POTSModemToSerialPort",
};

const wchar_t* const VideoAndMonitorClasses[] = {
    L"Win32_DesktopMonitor",     L"Win32_DisplayConfiguration", L"Win32_DisplayControllerConfiguration",
    L"Win32_VideoConfiguration", L"Win32_VideoController",      L"Win32_VideoSettings",
};

const wchar_t* const ApplicationsClasses[] = {
    L"Win32_ActionCheck",
    L"Win32_ApplicationCommandLine",
    L"Win32_ApplicationService",
    L"Win32_Binary",
    L"Win32_BindImageAction",
    L"Win32_CheckCheck",
    L"Win32_ClassInfoAction",
    L"Win32_CommandLineAccess",
    L"Win32_Condition",
    L"Win32_CreateFolderAction",
    L"Win32_DuplicateFileAction",
    L"Win32_EnvironmentSpecification",
    L"Win32_ExtensionInfoAction",
    L"Win32_FileSpecification",
    L"Win32_FontInfoAction",
    L"Win32_IniFileSpecification",
    L"Win32_InstalledSoftwareElement",
    L"Win32_LaunchCondition",
    L"Win32_ManagedSystemElementResource",
    L"Win32_MIMEInfoAction",
    L"Win32_MoveFileAction",
    L"Win32_MSIResource",
    L"Win32_ODBCAttribute",
    L"Win32_ODBCDataSourceAttribute",
    L"Win32_ODBCDataSourceSpecification",
    L"Win32_ODBCDriverAttribute",
    L"Win32_ODBCDriverSoftwareElement",
    L"Win32_ODBCDriverSpecification",
    L"Win32_ODBCSourceAttribute",
    L"Win32_ODBCTranslatorSpecification",
    L"Win32_Patch",
    L"Win32_PatchFile",
    L"Win32_PatchPackage",
    L"Win32_Product",
    L"Win32_ProductCheck",
    L"Win32_ProductResource",
    L"Win32_ProductSoftwareFeatures",
    L"Win32_ProgIDSpecification",
    L"Win32_Property",
    L"Win32_PublishComponentAction",
    L"Win32_RegistryAction",
    L"Win32_RemoveFileAction",
    L"Win32_RemoveIniAction",
    L"Win32_ReserveCost",
    L"Win32_SelfRegModuleAction",
    L"Win32_ServiceControl",
    L"Win32_ServiceSpecification",
    L"Win32_ServiceSpecificationService",
    L"Win32_SettingCheck",
    L"Win32_ShortcutAction",
    L"Win32_ShortcutSAP",
    L"Win32_SoftwareElement",
    L"Win32_SoftwareElementAction",
    L"Win32_SoftwareElementCheck",
    L"Win32_SoftwareElementCondition",
    L"Win32_SoftwareElementResource",
    L"Win32_SoftwareFeature",
    L"Win32_SoftwareFeatureAction",
    L"Win32_SoftwareFeatureCheck",
    L"Win32_SoftwareFeatureParent",
    L"Win32_SoftwareFeatureSoftwareElements",
    L"Win32_TypeLibraryAction",
};

const wchar_t* const COMClasses[] = {
    L"Win32_ClassicCOMApplicationClasses",
    L"Win32_ClassicCOMClass",
    L"Win32_ClassicCOMClassSettings",
    L"Win32_ClientApplicationSetting",
    L"Win32_COMApplication",
    L"Win32_COMApplicationClasses",
    L"Win32_COMApplicationSettings",
    L"Win32_COMClass",
    L"Win32_ComClassAutoEmulator",
    L"Win32_ComClassEmulator",
    L"Win32_ComponentCategory",
    L"Win32_COMSetting",
    L"Win32_DCOMApplication",
    L"Win32_DCOMApplicationAccessAllowedSetting",
    L"Win32_DCOMApplicationLaunchAllowedSetting",
    L"Win32_DCOMApplicationSetting",
    L"Win32_ImplementedCategory",
};

const wchar_t* const DesktopClasses[] = {
    L"Win32_Desktop",
    L"Win32_Environment",
    L"Win32_TimeZone",
    L"Win32_UserDesktop",
};

const wchar_t* const DriversClasses[] = {
    L"Win32_DriverVXD",
    L"Win32_SystemDriver",
};

const wchar_t* const FileSystemClasses[] = {
    L"Win32_CIMLogicalDeviceCIMDataFile",
    L"Win32_Directory",
    L"Win32_DirectorySpecification",
    L"Win32_DiskDriveToDiskPartition",
    L"Win32_DiskPartition",
    L"Win32_DiskQuota",
    L"Win32_LogicalDisk",
    L"Win32_LogicalDiskRootDirectory",
    L"Win32_LogicalDiskToPartition",
    L"Win32_MappedLogicalDisk",
    L"Win32_OperatingSystemAutochkSetting",
    L"Win32_QuotaSetting",
    L"Win32_ShortcutFile",
    L"Win32_SubDirectory",
    L"Win32_SystemPartitions",
    L"Win32_Volume",
    L"Win32_VolumeQuota",
    L"Win32_VolumeQuotaSetting",
    L"Win32_VolumeUserQuota",
};

const wchar_t* const JobObjectsClasses[] = {
    L"Win32_CollectionStatistics",
    L"Win32_LUID",
    L"Win32_LUIDandAttributes",
    L"Win32_NamedJobObject",
    L"Win32_NamedJobObjectActgInfo",
    L"Win32_NamedJobObjectLimit",
    L"Win32_NamedJobObjectLimitSetting",
    L"Win32_NamedJobObjectProcess",
    L"Win32_NamedJobObjectSecLimit",
    L"Win32_NamedJobObjectSecLimitSetting",
    L"Win32_NamedJobObjectStatistics",
    L"Win32_SIDandAttributes",
    L"Win32_TokenGroups",
    L"Win32_TokenPrivileges",
};

const wchar_t* const MemoryClasses[] = {
    L"Win32_LogicalMemoryConfiguration",
    L"Win32_PageFile",
    L"Win32_PageFileElementSetting",
    L"Win32_PageFileSetting",
    L"Win32_PageFileUsage",
    L"Win32_SystemLogicalMemoryConfiguration",
};

const wchar_t* const MultimediaClasses[] = {
    L"Win32_CodecFile",
};

const wchar_t* const NetworkingClasses[] = {
    L"Win32_ActiveRoute",   L"Win32_IP4PersistedRouteTable", L"Win32_IP4RouteTable",   L"Win32_IP4RouteTableEvent",
    L"Win32_NetworkClient", L"Win32_NetworkConnection",      L"Win32_NetworkProtocol", L"Win32_NTDomain",
    L"Win32_PingStatus",    L"Win32_ProtocolBinding",
};

const wchar_t* const OperatingSystemSettingsClasses[] = {
    L"Win32_BootConfiguration",
    L"Win32_ComputerSystem",
    L"Win32_ComputerSystemProcessor",
    L"Win32_ComputerSystemProduct",
    L"Win32_DependentService",
    L"Win32_LoadOrderGroup",
    L"Win32_LoadOrderGroupServiceDependencies",
    L"Win32_LoadOrderGroupServiceMembers",
    L"Win32_OperatingSystem",
    L"Win32_OperatingSystemQFE",
    L"Win32_OSRecoveryConfiguration",
    L"Win32_QuickFixEngineering",
    L"Win32_StartupCommand",
    L"Win32_SystemBootConfiguration",
    L"Win32_SystemDesktop",
    L"Win32_SystemDevices",
    L"Win32_SystemLoadOrderGroups",
    L"Win32_SystemNetworkConnections",
    L"Win32_SystemOperatingSystem",
    L"Win32_SystemProcesses",
    L"Win32_SystemProgramGroups",
    L"Win32_SystemResources",
    L"Win32_SystemServices",
    L"Win32_SystemSetting",
    L"Win32_SystemSystemDriver",
    L"Win32_SystemTimeZone",
    L"Win32_SystemUsers",
};

const wchar_t* const ProcessesClasses[] = {
    L"Win32_Process",
    L"Win32_ProcessStartup",
    L"Win32_Thread",
};

const wchar_t* const RegistryClasses[] = {
    L"Win32_Registry",
};

const wchar_t* const SchedulerJobsClasses[] = {
    L"Win32_CurrentTime",
    L"Win32_ScheduledJob",
    L"Win32_LocalTime",
    L"Win32_UTCTime",
};

const wchar_t* const SecurityClasses[] = {
    L"Win32_AccountSID",
    L"Win32_ACE",
    L"Win32_LogicalFileAccess",
    L"Win32_LogicalFileAuditing",
    L"Win32_LogicalFileGroup",
    L"Win32_LogicalFileOwner",
    L"Win32_LogicalFileSecuritySetting",
    L"Win32_LogicalShareAccess",
    L"Win32_LogicalShareAuditing",
    L"Win32_LogicalShareSecuritySetting",
    L"Win32_PrivilegesStatus",
    L"Win32_SecurityDescriptor",
    L"Win32_SecuritySetting",
    L"Win32_SecuritySettingAccess",
    L"Win32_SecuritySettingAuditing",
    L"Win32_SecuritySettingGroup",
    L"Win32_SecuritySettingOfLogicalFile",
    L"Win32_SecuritySettingOfLogicalShare",
    L"Win32_SecuritySettingOfObject",
    L"Win32_SecuritySettingOwner",
    L"Win32_SID",
    L"Win32_Trustee",
};

const wchar_t* const ServicesClasses[] = {
    L"Win32_BaseService",
    L"Win32_Service",
};

const wchar_t* const SharesClasses[] = {
    L"Win32_DFSNode",        L"Win32_DFSNodeTarget",    L"Win32_DFSTarget",    L"Win32_ServerConnection",
    L"Win32_ServerSession",  L"Win32_ConnectionShare",  L"Win32_PrinterShare", L"Win32_SessionConnection",
    L"Win32_SessionProcess", L"Win32_ShareToDirectory", L"Win32_Share",
};

const wchar_t* const StartMenuClasses[] = {
    L"Win32_LogicalProgramGroup",
    L"Win32_LogicalProgramGroupDirectory",
    L"Win32_LogicalProgramGroupItem",
    L"Win32_LogicalProgramGroupItemDataFile",
    L"Win32_ProgramGroup",
    L"Win32_ProgramGroupContents",
    L"Win32_ProgramGroupOrItem",
};

const wchar_t* const StorageClasses[] = {
    L"Win32_ShadowBy",
    L"Win32_ShadowContext",
    L"Win32_ShadowCopy",
    L"Win32_ShadowDiffVolumeSupport",
    L"Win32_ShadowFor",
    L"Win32_ShadowOn",
    L"Win32_ShadowProvider",
    L"Win32_ShadowStorage",
    L"Win32_ShadowVolumeSupport",
    L"Win32_Volume",
    L"Win32_VolumeUserQuota",
};

const wchar_t* const UsersClasses[] = {
    L"Win32_Account",
    L"Win32_Group",
    L"Win32_GroupInDomain",
    L"Win32_GroupUser",
    L"Win32_LogonSession",
    L"Win32_LogonSessionMappedDisk",
    L"Win32_NetworkLoginProfile",
    L"Win32_SystemAccount",
    L"Win32_UserAccount",
    L"Win32_UserInDomain",
};

const wchar_t* const NTEventLogClasses[] = {
    L"Win32_NTEventlogFile", L"Win32_NTLogEvent",     L"Win32_NTLogEventComputer",
    L"Win32_NTLogEventLog",  L"Win32_NTLogEventUser",
};

const wchar_t* const WindowsProductActivationClasses[] = {
    L"Win32_ComputerSystemWindowsProductActivationSetting",
    L"Win32_Proxy",
    L"Win32_WindowsProductActivation",
};

} // namespace

const CategoryEntry HardwareCategories[] = {
    {L"Cooling Devices", CoolingDevicesClasses, 4},
    {L"Input Devices", InputDevicesClasses, 2},
    {L"Mass Storage", MassStorageClasses, 6},
    {L"Motherboard, Controller and Port", MotherboardControllerAndPortClasses, 51},
    {L"Networking Devices", NetworkingDevicesClasses, 3},
    {L"Power", PowerClasses, 7},
    {L"Printing Devices", PrintingDevicesClasses, 9},
    {L"Telephony", TelephonyClasses, 2},
    {L"Video and Monitor", VideoAndMonitorClasses, 6},
};

const CategoryEntry OperatingSystemCategories[] = {
    {L"Applications", ApplicationsClasses, 62},
    {L"COM", COMClasses, 17},
    {L"Desktop", DesktopClasses, 4},
    {L"Drivers", DriversClasses, 2},
    {L"FileSystem", FileSystemClasses, 19},
    {L"Job Objects", JobObjectsClasses, 14},
    {L"Memory", MemoryClasses, 6},
    {L"Multimedia", MultimediaClasses, 1},
    {L"Networking", NetworkingClasses, 10},
    {L"Operating System Settings", OperatingSystemSettingsClasses, 27},
    {L"Processes", ProcessesClasses, 3},
    {L"Registry", RegistryClasses, 1},
    {L"Scheduler Jobs", SchedulerJobsClasses, 4},
    {L"Security", SecurityClasses, 22},
    {L"Services", ServicesClasses, 2},
    {L"Shares", SharesClasses, 11},
    {L"StartMenu", StartMenuClasses, 7},
    {L"Storage", StorageClasses, 11},
    {L"Users", UsersClasses, 10},
    {L"NT Event Log", NTEventLogClasses, 5},
    {L"Windows Product Activation", WindowsProductActivationClasses, 3},
};

const int HardwareCategoryCount = 9;
const int OperatingSystemCategoryCount = 21;

} // namespace Config

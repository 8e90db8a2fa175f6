#include "recorderapi.h"

#include "platform/debugout.h"
#include "platform/messagebox.h"
#include "platform/regularfile.h"
#include "context/appcontext.h"

#include <QString>
#include <cstdlib>
#include <cstring>
#include <dlfcn.h>
#include <vector>

namespace {
const char* const kErrorCaption = "Error in Init_Velmor4API_DLL";

struct Binding {
    const char* name;
    void** slot;
};

#define VEL_BINDING(name) Binding{#name, reinterpret_cast<void**>(&api.name)},

std::vector<Binding> FirstList(RecorderApi& api) { return {VEL_FIRST_LIST(VEL_BINDING, VEL_BINDING)}; }
std::vector<Binding> SecondList(RecorderApi& api) { return {VEL_SECOND_LIST(VEL_BINDING, VEL_BINDING)}; }
std::vector<Binding> GroupA(RecorderApi& api) { return {VEL_GROUP_A(VEL_BINDING, VEL_BINDING)}; }
std::vector<Binding> GroupB(RecorderApi& api) { return {VEL_GROUP_B(VEL_BINDING, VEL_BINDING)}; }
std::vector<Binding> GroupC(RecorderApi& api) { return {VEL_GROUP_C(VEL_BINDING, VEL_BINDING)}; }
std::vector<Binding> Group1_2(RecorderApi& api) { return {VEL_GROUP_1_2(VEL_BINDING, VEL_BINDING)}; }
std::vector<Binding> Group1_3(RecorderApi& api) { return {VEL_GROUP_1_3(VEL_BINDING, VEL_BINDING)}; }
std::vector<Binding> Group1_6(RecorderApi& api) { return {VEL_GROUP_1_6(VEL_BINDING, VEL_BINDING)}; }
std::vector<Binding> Group1_9(RecorderApi& api) { return {VEL_GROUP_1_9(VEL_BINDING, VEL_BINDING)}; }
std::vector<Binding> Group1_13(RecorderApi& api) { return {VEL_GROUP_1_13(VEL_BINDING, VEL_BINDING)}; }
std::vector<Binding> Group1_14(RecorderApi& api) { return {VEL_GROUP_1_14(VEL_BINDING, VEL_BINDING)}; }

#undef VEL_BINDING

void ReportError(const QString& text)
{
    DebugOut(text.toStdString());
    ShowMessageBox(nullptr, text, QString::fromLatin1(kErrorCaption), MsgIcon::Error, MB_OK);
}

// Binds every entry point of the list; false at the first missing one,
// which is reported.
bool BindAll(void* handle, const std::vector<Binding>& list)
{
    for (const Binding& binding : list) {
        *binding.slot = dlsym(handle, binding.name);
        if (!*binding.slot) {
            ReportError(QStringLiteral("Function '%1' not found in DLL 'Velmor4API.DLL' ")
                            .arg(QString::fromLatin1(binding.name)));
            return false;
        }
    }
    return true;
}

// Debugger notes for entry points that this library version lacks.
void ReportAbsent(const std::vector<const char*>& names, const char* since)
{
    for (const char* name : names) {
        // The note for this one has always lacked its "is not".
        const bool terse = std::string(name) == "VelPlaybackGetSelectedFile";
        const std::string text = std::string(name) + (terse ? "() included" : "() is not included") +
                                 " in this Velmor4API.DLL. Available from version " + since + ".";
        DebugOut(text);
    }
}

std::vector<const char*> Names(const std::vector<Binding>& list)
{
    std::vector<const char*> names;
    for (const Binding& binding : list)
        names.push_back(binding.name);
    return names;
}

// Loads a library named by path only when it is a regular file: the loader
// would block on a FIFO in its place, or read a device without end.
void* OpenLibraryFile(const std::string& path)
{
    if (RegularFile::Inspect(path.c_str()) != FileKind::Regular)
        return nullptr;
    return dlopen(path.c_str(), RTLD_NOW | RTLD_LOCAL);
}

void* OpenLibrary(const std::string& fileName, std::string& tried)
{
    if (const char* other = std::getenv("KRV_RECORDER_LIB"); other && *other) {
        tried = other;
        if (tried.find('/') != std::string::npos)
            return OpenLibraryFile(tried);
        return dlopen(other, RTLD_NOW | RTLD_LOCAL);
    }
    // "Name.dll" is the Linux library "libName.so".
    std::string name = fileName;
    if (name.size() > 4 && (name.ends_with(".dll") || name.ends_with(".DLL")))
        name = "lib" + name.substr(0, name.size() - 4) + ".so";
    tried = name;
    if (name.find('/') != std::string::npos)
        return OpenLibraryFile(name);
    if (void* handle = dlopen(name.c_str(), RTLD_NOW | RTLD_LOCAL))
        return handle;
    const std::string programDirectory = Ctx().programDirectory.toStdString();
    if (void* handle = OpenLibraryFile(programDirectory + name))
        return handle;
    return OpenLibraryFile(RecorderPrivateFolder(programDirectory) + name);
}

// Binds the version groups; false when a group that applies is incomplete.
bool BindVersionGroups(RecorderApi& api)
{
    const uint32_t v = api.version;
    if (v >= RecorderVersion(0, 9, 7, 53) && !BindAll(api.handle, GroupA(api)))
        return false;
    if (v >= RecorderVersion(1, 0, 1, 0) && !BindAll(api.handle, GroupB(api)))
        return false;
    if (v >= RecorderVersion(1, 1, 0, 0) && !BindAll(api.handle, GroupC(api)))
        return false;

    if (v < RecorderVersion(1, 2, 0, 0))
        ReportAbsent(Names(Group1_2(api)), "1.2.0.0");
    else if (!BindAll(api.handle, Group1_2(api)))
        return false;

    if (v < RecorderVersion(1, 3, 0, 0))
        ReportAbsent(Names(Group1_3(api)), "1.3.0.0");
    else if (!BindAll(api.handle, Group1_3(api)))
        return false;

    if (v < RecorderVersion(1, 6, 0, 0))
        ReportAbsent({"VelSetReceiveTimeOut", "VelEnableExceptionMessageBox", "VelEnableExceptionMessageBox"},
                     "1.6.0.0");
    else if (!BindAll(api.handle, Group1_6(api)))
        return false;

    if (v < RecorderVersion(1, 9, 0, 0)) {
        std::vector<const char*> names = Names(Group1_9(api));
        names.push_back("VelSetOutpTermination");
        names.push_back("VelGetOutpTermination");
        ReportAbsent(names, "1.9.0.0");
    } else if (!BindAll(api.handle, Group1_9(api))) {
        return false;
    }

    if (v < RecorderVersion(1, 13, 0, 0))
        ReportAbsent(Names(Group1_13(api)), "1.13.0.0");
    else if (!BindAll(api.handle, Group1_13(api)))
        return false;

    if (v < RecorderVersion(1, 14, 0, 0)) {
        ReportAbsent({"VelPrepareChannelSampleRate", "VelSetChannelSampleRates", "VelGetChannelDataWidth",
                      "VelSetChannelDataWidth", "VelCh10GetChannelDataWidth"},
                     "1.14.0.0");
        return true;
    }
    return BindAll(api.handle, Group1_14(api));
}
} // namespace

RecorderApi& Vel()
{
    static RecorderApi api;
    return api;
}

std::string RecorderPrivateFolder(const std::string& programDirectory)
{
    return programDirectory + KRV_PRIVATE_LIBRARY_FOLDER "/";
}

uint32_t RecorderVersionNumber(const char* text)
{
    uint32_t version = 0;
    const char* p = text;
    while (p && *p) {
        const unsigned long part = std::strtoul(p, nullptr, 10);
        version = (version << 8) | static_cast<uint32_t>(part & 0xFF);
        p = std::strchr(p, '.');
        if (p)
            ++p;
    }
    return version;
}

int LoadRecorderApi(const std::string& fileName) { return LoadRecorderApi(fileName, Vel()); }

int LoadRecorderApi(const std::string& fileName, RecorderApi& api)
{
    std::string tried;
    void* handle = OpenLibrary(fileName, tried);
    if (!handle) {
        ReportError(QStringLiteral("DLL '%1' not loaded").arg(QString::fromStdString(tried)));
        return -1;
    }
    api.handle = handle;

    // The version is read as soon as VelGetDLLVersion, the last of the
    // first list, is bound.
    if (!BindAll(handle, FirstList(api)))
        return -2;
    char text[256] = {};
    int length = sizeof text;
    api.VelGetDLLVersion(text, &length);
    text[sizeof text - 1] = '\0';
    api.version = RecorderVersionNumber(text);

    if (!BindAll(handle, SecondList(api)))
        return -2;
    return BindVersionGroups(api) ? 0 : -2;
}

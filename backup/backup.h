#pragma once
// The setup library a package installer loads around installing and removing a package.
//
// The four entry points take the installer's arguments as plain C types: the installer's parent
// window as an opaque handle, its flags and counters as fixed-width integers, and folders as
// NUL-terminated UTF-16 text (each character's low byte makes the 8-bit device path). Every
// entry point returns 0 (continue, or step done) and lets no exception out. The device root is
// taken from TESSEL_DEVICE_ROOT; without it nothing is done.

#include <stdint.h>

#if defined(__GNUC__)
#define TESSEL_BACKUP_EXPORT __attribute__((visibility("default")))
#else
#define TESSEL_BACKUP_EXPORT
#endif

#ifdef __cplusplus
extern "C" {
#endif

// At the start of the installation: does nothing.
TESSEL_BACKUP_EXPORT int32_t Install_Init(void* parentWindow, uint32_t firstCall,
                                          uint32_t previouslyInstalled,
                                          const uint16_t* installFolder);

// At the end of the installation: completes the package's restore list, creates its shortcuts
// and registry values, copies the installation to persistent storage when it lies outside it,
// and registers the restore program for the next cold boot.
TESSEL_BACKUP_EXPORT int32_t Install_Exit(void* parentWindow, const uint16_t* installFolder,
                                          uint16_t failedFolders, uint16_t failedFiles,
                                          uint16_t failedRegistryKeys,
                                          uint16_t failedRegistryValues, uint16_t failedShortcuts);

// At the start of the removal: deletes the list's shortcuts, registry values and backup copy.
TESSEL_BACKUP_EXPORT int32_t Uninstall_Init(void* parentWindow, const uint16_t* installFolder);

// At the end of the removal: does nothing.
TESSEL_BACKUP_EXPORT int32_t Uninstall_Exit(void* parentWindow);

#ifdef __cplusplus
}
#endif

// The DACL read as the system's access check reads it, over descriptors made here, and each type's generic mapping.
#include <doctest.h>

#include <windows.h>
#include <sddl.h>

#include <cstdio>
#include <string>

#include "AccessCheck.h"
#include "ObjectTypes.h"

TEST_CASE("rights a DACL grants Everyone and Administrators: in order, deny first holds, inherit-only skipped, the owner's, "
          "by the type's mapping; entries not evaluated counted; a malformed DACL refused")
{
    // Owned by SYSTEM (neither column) or BA; a null text is a NULL DACL. An event's all: 0x001F0003. A byte of the
    // DACL at `at` may be set to value first: then error, or the entries not evaluated.
    const DWORD invalid = ERROR_INVALID_ACL, untouched = 0xDEADBEEF;
    const struct { const wchar_t* sddl; int type; ACCESS_MASK everyone, administrators; int at = -1; BYTE value = 0;
                   DWORD error = 0; int unevaluated = 0; } cases[] = {
        {L"O:SYG:SYD:(A;;GA;;;BA)", TypeEvent, 0, 0x001F0003},
        {L"O:SYG:SYD:(A;;DCSD;;;WD)(D;;GA;;;WD)", TypeEvent, 0x00010002, 0x00010002},
        {L"O:SYG:SYD:(A;;GA;;;WD)", TypeEvent, 0x001F0003, 0x001F0003},
        {L"O:SYG:SYD:(D;;DC;;;WD)(A;;GA;;;WD)", TypeEvent, 0x001F0001, 0x001F0001},
        {L"O:SYG:SYD:", TypeEvent, 0, 0},
        {L"O:SYG:SYD:(A;IO;GA;;;WD)", TypeEvent, 0, 0},
        {nullptr, TypeEvent, 0x001F0003, 0x001F0003},
        {L"O:BAG:SYD:(A;;GR;;;WD)", TypeEvent, 0x00020001, 0x00060001},  // the owner: READ_CONTROL and WRITE_DAC
        {L"O:BAG:SYD:(A;;GR;;;OW)(A;;GR;;;WD)", TypeEvent, 0x00020001, 0x00020001},
        {L"O:SYG:SYD:(A;;GR;;;WD)", TypeEvent, 0x00020001, 0x00020001},
        {L"O:BAG:SYD:(A;;GW;;;OW)", TypeEvent, 0, 0x00020002},  // OWNER RIGHTS is the owner alone
        {L"O:WDG:SYD:", TypeEvent, 0x00060000, 0x00060000},     // owned by Everyone: every account is the owner
        {L"O:SYG:SYD:(A;;GW;;;WD)", TypeEvent, 0x00020002, 0x00020002},
        {L"O:SYG:SYD:(A;;GX;;;WD)", TypeEvent, 0x00120000, 0x00120000},
        {L"O:SYG:SYD:(A;;GA;;;WD)", TypeSection, 0x000F001F, 0x000F001F},
        {L"O:SYG:SYD:(A;;GW;;;WD)", TypeMutant, 0x00020000, 0x00020000},
        {L"O:BAG:SYD:(A;OICIIO;GR;;;OW)", TypeEvent, 0, 0x00060000},  // inherit-only: the owner's rights stay
        {L"O:SYG:SYD:(A;;GA;;;WD)(A;;GR;;;WD)", TypeEvent, 0x00020001, 0x00020001, 8, 9, 0, 1},  // a callback entry
        {L"O:SYG:SYD:(A;;GA;;;WD)", TypeEvent, untouched, untouched, 10, 8, invalid},   // an entry with no room for its SID
        {L"O:SYG:SYD:(A;;GA;;;WD)", TypeEvent, untouched, untouched, 10, 0, invalid},   // an entry of size 0
        {L"O:SYG:SYD:(A;;GA;;;WD)", TypeEvent, untouched, untouched, 4, 2, invalid},    // a count past the entries
        {L"O:SYG:SYD:(A;;GA;;;WD)", TypeEvent, untouched, untouched, 17, 2, invalid},   // a SID past its entry
        {L"O:SYG:SYD:(A;;GA;;;WD)", TypeEvent, untouched, untouched, 3, 1, invalid},    // a list past the descriptor
    };
    PSID everyone = nullptr, administrators = nullptr;
    REQUIRE((ConvertStringSidToSidW(L"S-1-1-0", &everyone) && ConvertStringSidToSidW(L"S-1-5-32-544", &administrators)));
    for (const auto& c : cases) {
        CAPTURE(&c - cases);
        SECURITY_DESCRIPTOR nullDacl;
        PSECURITY_DESCRIPTOR descriptor = &nullDacl;
        REQUIRE((c.sddl ? ConvertStringSecurityDescriptorToSecurityDescriptorW(c.sddl, SDDL_REVISION_1, &descriptor, nullptr)
                        : InitializeSecurityDescriptor(&nullDacl, SECURITY_DESCRIPTOR_REVISION) &&
                              SetSecurityDescriptorDacl(&nullDacl, TRUE, nullptr, FALSE)));
        const GENERIC_MAPPING mapping = DocumentedGenericMapping(c.type, nullptr);
        const DWORD length = GetSecurityDescriptorLength(descriptor);
        PACL dacl = nullptr;
        BOOL present = FALSE, defaulted = FALSE;
        if (c.at >= 0 && GetSecurityDescriptorDacl(descriptor, &present, &dacl, &defaulted) && dacl)
            reinterpret_cast<BYTE*>(dacl)[c.at] = c.value;
        ACCESS_MASK granted[2] = {untouched, untouched};
        int unevaluated[2] = {-1, -1};
        CHECK(GrantedRights(descriptor, length, everyone, mapping, &granted[0], &unevaluated[0]) == c.error);
        CHECK(GrantedRights(descriptor, length, administrators, mapping, &granted[1], &unevaluated[1]) == c.error);
        CHECK(granted[0] == c.everyone);
        CHECK(granted[1] == c.administrators);
        CHECK(unevaluated[0] == c.unevaluated);
        if (c.sddl)
            LocalFree(descriptor);
    }
    LocalFree(everyone);
    LocalFree(administrators);
    // What changes an object: the standard rights that do, and generic write's own, without READ_CONTROL or SYNCHRONIZE.
    CHECK(ChangingRights(DocumentedGenericMapping(TypeEvent, nullptr)) == 0x000D0002);
    CHECK(ChangingRights(DocumentedGenericMapping(TypeDevice, nullptr)) == 0x000D0116);
}

TEST_CASE("each type's generic read, write, execute and all as Windows documents them; files as devices; the rest standard")
{
    const struct { int type; const wchar_t* name; const char* mapping; } cases[] = {
        {TypeDirectory, nullptr, "00020003 0002000C 00020003 000F000F"},
        {TypeSymbolicLink, nullptr, "00020001 00020000 00020001 000F0001"},
        {TypeSection, nullptr, "00020005 00020002 00020008 000F001F"},
        {TypeEvent, nullptr, "00020001 00020002 00120000 001F0003"},
        {TypeEventPair, nullptr, "00020000 00020000 00120000 001F0000"},
        {TypeMutant, nullptr, "00020001 00020000 00120000 001F0001"},
        {TypeSemaphore, nullptr, "00020001 00020002 00120000 001F0003"},
        {TypeTimer, nullptr, "00020001 00020002 00120000 001F0003"},
        {TypeKey, nullptr, "00020019 00020006 00020019 000F003F"},
        {TypeJob, nullptr, "00020004 0002000B 00120000 001F001F"},
        {TypeProcess, nullptr, "00020410 00020BEA 00121000 001FFFFF"},
        {TypeThread, nullptr, "00020048 00020037 00121800 001FFFFF"},
        {TypeDevice, nullptr, "00120089 00120116 001200A0 001F01FF"},
        {TypeIoCompletion, nullptr, "00020001 00020002 00120000 001F0003"},
        {TypeUnknown, L"File", "00120089 00120116 001200A0 001F01FF"},
        {TypeType, L"Type", "00020000 00020000 00020000 001F0001"},
        {TypeUnknown, nullptr, "00020000 00020000 00020000 001F0001"},
    };
    for (const auto& c : cases) {
        CAPTURE(&c - cases);
        const GENERIC_MAPPING m = DocumentedGenericMapping(c.type, c.name);
        char text[40];
        snprintf(text, sizeof(text), "%08lX %08lX %08lX %08lX", m.GenericRead, m.GenericWrite, m.GenericExecute, m.GenericAll);
        CHECK(std::string(text) == c.mapping);
    }
}

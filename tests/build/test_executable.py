"""What the built installer carries: a 32-bit GUI executable importing known
DLLs only, its manifest and version information, the payload resources; and
the uninstaller, the same kind of program with its own description."""
import os
import re
import struct
import sys
import unittest
from pathlib import Path

sys.path.insert(0, str(Path(__file__).parent))
from pe import PE  # noqa: E402

RT_RCDATA, RT_VERSION, RT_MANIFEST, RT_GROUP_ICON = 10, 16, 24, 14
LANG_ZH_CN = 2052
# The known DLLs of every Windows from 7 to 11 (their KnownDLLs lists have
# these in common): the system maps them from its own folder whatever lies
# beside the executable. Every other DLL is loaded at run time from System32.
KNOWN_DLLS = {
    "advapi32.dll", "clbcatq.dll", "comdlg32.dll", "difxapi.dll", "gdi32.dll", "imagehlp.dll", "imm32.dll",
    "kernel32.dll", "msctf.dll", "msvcrt.dll", "normaliz.dll", "nsi.dll", "ole32.dll", "oleaut32.dll", "psapi.dll",
    "rpcrt4.dll", "sechost.dll", "setupapi.dll", "shell32.dll", "shlwapi.dll", "user32.dll", "wldap32.dll",
    "ws2_32.dll",
}


def utf16(text):
    return text.encode("utf-16-le")


def check_program(test, exe):
    test.assertEqual(exe.machine, 0x14C)
    test.assertEqual(exe.magic, 0x10B)
    test.assertEqual(exe.subsystem, 2)
    test.assertFalse(exe.is_dll)
    imports = {name.lower() for name in exe.imports()}
    test.assertIn("kernel32.dll", imports)
    test.assertEqual(imports - KNOWN_DLLS, set(), "imports that would be looked up beside the executable")


def check_manifest(test, manifest):
    text = manifest.decode("utf-8")
    test.assertRegex(text, r'requestedExecutionLevel\s+level="requireAdministrator"')
    test.assertNotIn("supportedOS", text)
    # Without it the system stretches every window at any scale above 100 %.
    test.assertRegex(text, r"<dpiAwareness[^>]*>PerMonitorV2, PerMonitor</dpiAwareness>")
    test.assertRegex(text, r"<dpiAware[^>]*>true/pm</dpiAware>")


class ExecutableTest(unittest.TestCase):
    @classmethod
    def setUpClass(cls):
        cls.exe = PE(Path(os.environ["TOVARIN_EXE"]).read_bytes())
        cls.res = cls.exe.resources()

    def resource(self, rtype, name):
        found = [(k, v) for k, v in self.res.items() if k[0] == rtype and k[1] == name]
        self.assertEqual(len(found), 1, f"resource {name!r} of type {rtype}")
        return found[0]

    def test_is_a_32_bit_gui_program_importing_known_dlls_only(self):
        check_program(self, self.exe)

    def test_manifest_requires_administrator_and_names_no_os(self):
        check_manifest(self, self.resource(RT_MANIFEST, 1)[1])

    def test_version_information(self):
        (_, _, lang), info = self.resource(RT_VERSION, 1)
        self.assertEqual(lang, LANG_ZH_CN)
        fixed = info.index(struct.pack("<I", 0xFEEF04BD))
        ms, ls, pms, pls = struct.unpack_from("<IIII", info, fixed + 8)
        self.assertEqual((ms >> 16, ms & 0xFFFF, ls >> 16, ls & 0xFFFF), (3, 1, 1, 0))
        self.assertIn(utf16("080403A8"), info)
        for key, value in [("FileVersion", "3.1.1.0"), ("ProductVersion", "3.1.1"),
                           ("InternalName", "Tovarin安装程序"), ("CompanyName", "Tovarin")]:
            self.assertRegex(info, re.escape(utf16(key)) + b"(\0\0)+" + re.escape(utf16(value)) + b"\0\0")
        self.assertRegex(info, re.escape(utf16("Translation")) + b"(\0\0)+" + re.escape(struct.pack("<HH", 0x0804, 936)))

    def test_application_icon(self):
        self.resource(RT_GROUP_ICON, "MAINICON")

    def test_payload_resources(self):
        (_, _, lang), package = self.resource(RT_RCDATA, "PACKAGE")
        self.assertEqual(lang, LANG_ZH_CN)
        self.assertEqual(package[:6], bytes.fromhex("377ABCAF271C"))
        (_, _, lang), library = self.resource(RT_RCDATA, "7ZIP_LIBRARY")
        self.assertEqual(lang, LANG_ZH_CN)
        dll = PE(library)
        self.assertEqual((dll.machine, dll.magic, dll.is_dll), (0x14C, 0x10B, True))
        self.assertLessEqual({"CreateObject", "GetHandlerProperty"}, set(dll.exports()))
        # What the completion step writes as Uninstall.exe: a 32-bit GUI program.
        (_, _, lang), uninstaller = self.resource(RT_RCDATA, "UNINSTALLER")
        self.assertEqual(lang, LANG_ZH_CN)
        exe = PE(uninstaller)
        self.assertEqual((exe.machine, exe.magic, exe.subsystem, exe.is_dll), (0x14C, 0x10B, 2, False))


class UninstallerTest(unittest.TestCase):
    def test_is_the_same_kind_of_program_with_its_own_description(self):
        exe = PE(Path(os.environ["TOVARIN_UNINSTALL_EXE"]).read_bytes())
        res = exe.resources()
        check_program(self, exe)
        check_manifest(self, next(v for k, v in res.items() if k[:2] == (RT_MANIFEST, 1)))
        info = next(v for k, v in res.items() if k[:2] == (RT_VERSION, 1))
        for key, value in [("FileDescription", "Tovarin卸载程序"), ("OriginalFilename", "Uninstall.exe")]:
            self.assertRegex(info, re.escape(utf16(key)) + b"(\0\0)+" + re.escape(utf16(value)) + b"\0\0")
        self.assertTrue(any(k[:2] == (RT_GROUP_ICON, "MAINICON") for k in res))


if __name__ == "__main__":
    unittest.main()

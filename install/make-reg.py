#!/usr/bin/env python3
"""Writes the registry files that install and remove the two servers on a
Windows machine: the COM class entries of both DLLs (32-bit and/or 64-bit
registry views) and the converter's joystick OEM entry, which makes the Game
Controllers control panel load our sheet and DirectInput load our effect
driver with its effect list.

    make-reg.py --vid 1234 --pid 5678 --dir32 "C:\\Program Files (x86)\\Tavrel USB"
                --dir64 "C:\\Program Files\\Tavrel USB" --out tavrelusb

gives tavrelusb-install.reg and tavrelusb-uninstall.reg. With only --dir32
on a 32-bit Windows, pass --win32 so the 32-bit DLLs go to the native view.
"""
import argparse
import struct
import sys

CLSID_PANEL = "{3F8B2D17-6C4E-4A91-B5D0-8E27C61A9F43}"
CLSID_FF = "{3F6B2D90-7C14-4A85-B1E3-95D0C7A42F18}"

DIEFT_CONSTANTFORCE, DIEFT_RAMPFORCE, DIEFT_PERIODIC, DIEFT_CONDITION, DIEFT_CUSTOMFORCE = 1, 2, 3, 4, 5
DIEFT_FFATTACK, DIEFT_FFFADE = 0x200, 0x400
DIEFT_SATURATION, DIEFT_POSNEGCOEFFICIENTS, DIEFT_POSNEGSATURATION, DIEFT_DEADBAND = 0x800, 0x1000, 0x2000, 0x4000
# Parameters the driver stores: duration, sample period, gain, trigger
# button and interval, axes, direction, envelope, type-specific values.
DIEP_ALLPARAMS = 0x1FF
DIEFF_CARTESIAN, DIEFF_POLAR, DIEFF_SPHERICAL = 0x10, 0x20, 0x40

ENVELOPE = DIEFT_FFATTACK | DIEFT_FFFADE
CONDITION = DIEFT_CONDITION | DIEFT_SATURATION | DIEFT_POSNEGCOEFFICIENTS | DIEFT_POSNEGSATURATION | DIEFT_DEADBAND

# (GUID, display name, driver effect id, effect type). The ids are the ones
# the driver groups: 1 constant, 2 ramp, 3-7 periodic, 8-11 condition, 12 custom.
EFFECTS = [
    ("{13541C20-8E33-11D0-9AD0-00A0C9A06E35}", "Constant Force", 1, DIEFT_CONSTANTFORCE | ENVELOPE),
    ("{13541C21-8E33-11D0-9AD0-00A0C9A06E35}", "Ramp Force", 2, DIEFT_RAMPFORCE | ENVELOPE),
    ("{13541C22-8E33-11D0-9AD0-00A0C9A06E35}", "Square", 3, DIEFT_PERIODIC | ENVELOPE),
    ("{13541C23-8E33-11D0-9AD0-00A0C9A06E35}", "Sine", 4, DIEFT_PERIODIC | ENVELOPE),
    ("{13541C24-8E33-11D0-9AD0-00A0C9A06E35}", "Triangle", 5, DIEFT_PERIODIC | ENVELOPE),
    ("{13541C25-8E33-11D0-9AD0-00A0C9A06E35}", "Sawtooth Up", 6, DIEFT_PERIODIC | ENVELOPE),
    ("{13541C26-8E33-11D0-9AD0-00A0C9A06E35}", "Sawtooth Down", 7, DIEFT_PERIODIC | ENVELOPE),
    ("{13541C27-8E33-11D0-9AD0-00A0C9A06E35}", "Spring", 8, CONDITION),
    ("{13541C28-8E33-11D0-9AD0-00A0C9A06E35}", "Damper", 9, CONDITION),
    ("{13541C29-8E33-11D0-9AD0-00A0C9A06E35}", "Inertia", 10, CONDITION),
    ("{13541C2A-8E33-11D0-9AD0-00A0C9A06E35}", "Friction", 11, CONDITION),
    ("{13541C2B-8E33-11D0-9AD0-00A0C9A06E35}", "Custom Force", 12, DIEFT_CUSTOMFORCE | ENVELOPE),
]

# DIFFDEVICEATTRIBUTES: flags, sample period and minimum time resolution in
# microseconds; the output thread passes about every 10 ms at best.
DEVICE_ATTRIBUTES = (0, 10000, 10000)


def reg_string(s):
    return '"' + s.replace("\\", "\\\\").replace('"', '\\"') + '"'


def reg_binary(*dwords):
    return "hex:" + ",".join("%02x" % b for b in struct.pack("<%dI" % len(dwords), *dwords))


def oem_key(vid, pid):
    return ("HKEY_LOCAL_MACHINE\\SYSTEM\\CurrentControlSet\\Control\\MediaProperties\\"
            "PrivateProperties\\Joystick\\OEM\\VID_%04X&PID_%04X" % (vid, pid))


def class_roots(args):
    """(classes root, folder) pairs: which registry view gets which DLLs."""
    roots = []
    if args.dir32:
        view = "HKEY_LOCAL_MACHINE\\SOFTWARE\\Classes" if args.win32 else \
               "HKEY_LOCAL_MACHINE\\SOFTWARE\\Classes\\WOW6432Node"
        roots.append((view, args.dir32))
    if args.dir64:
        roots.append(("HKEY_LOCAL_MACHINE\\SOFTWARE\\Classes", args.dir64))
    return roots


def install_text(args):
    out = ["Windows Registry Editor Version 5.00", ""]
    for root, folder in class_roots(args):
        for clsid, dll, desc in ((CLSID_PANEL, "tavrelusbcp.dll", "Tavrel USB Panel"),
                                 (CLSID_FF, "tavrelusbff.dll", "Tavrel USB Force Feedback Driver")):
            out += ["[%s\\CLSID\\%s]" % (root, clsid), "@=" + reg_string(desc), "",
                    "[%s\\CLSID\\%s\\InprocServer32]" % (root, clsid),
                    "@=" + reg_string(folder.rstrip("\\") + "\\" + dll),
                    '"ThreadingModel"="Both"', ""]
    key = oem_key(args.vid, args.pid)
    out += ["[%s]" % key, '"OEMName"=' + reg_string(args.name),
            '"ConfigCLSID"=' + reg_string(CLSID_PANEL), "",
            "[%s\\OEMForceFeedback]" % key, '"CLSID"=' + reg_string(CLSID_FF),
            '"Attributes"=' + reg_binary(*DEVICE_ATTRIBUTES), ""]
    for guid, name, effect_id, eff_type in EFFECTS:
        out += ["[%s\\OEMForceFeedback\\Effects\\%s]" % (key, guid), "@=" + reg_string(name),
                '"Attributes"=' + reg_binary(effect_id, eff_type, DIEP_ALLPARAMS, DIEP_ALLPARAMS,
                                             DIEFF_CARTESIAN | DIEFF_POLAR | DIEFF_SPHERICAL), ""]
    return "\r\n".join(out) + "\r\n"


def uninstall_text(args):
    out = ["Windows Registry Editor Version 5.00", ""]
    for root, _ in class_roots(args):
        for clsid in (CLSID_PANEL, CLSID_FF):
            out += ["[-%s\\CLSID\\%s]" % (root, clsid), ""]
    out += ["[-%s]" % oem_key(args.vid, args.pid), ""]
    return "\r\n".join(out) + "\r\n"


def hex16(s):
    v = int(s, 16)
    if not 0 <= v <= 0xFFFF:
        raise argparse.ArgumentTypeError("%s is not a 16-bit hex number" % s)
    return v


def main(argv):
    p = argparse.ArgumentParser(description=__doc__, formatter_class=argparse.RawDescriptionHelpFormatter)
    p.add_argument("--vid", type=hex16, required=True, help="converter USB vendor id, hex")
    p.add_argument("--pid", type=hex16, required=True, help="converter USB product id, hex")
    p.add_argument("--dir32", help="Windows folder holding the 32-bit DLLs")
    p.add_argument("--dir64", help="Windows folder holding the 64-bit DLLs")
    p.add_argument("--win32", action="store_true", help="32-bit Windows: 32-bit DLLs in the native view")
    p.add_argument("--name", default="Tavrel USB Converter", help="name the control panel shows")
    p.add_argument("--out", default="tavrelusb", help="output file prefix")
    args = p.parse_args(argv)
    if not args.dir32 and not args.dir64:
        p.error("give --dir32, --dir64 or both")
    if args.win32 and args.dir64:
        p.error("--win32 has no 64-bit view")
    for suffix, text in (("-install.reg", install_text(args)), ("-uninstall.reg", uninstall_text(args))):
        with open(args.out + suffix, "wb") as f:
            f.write(b"\xff\xfe" + text.encode("utf-16-le"))
    return 0


if __name__ == "__main__":
    sys.exit(main(sys.argv[1:]))

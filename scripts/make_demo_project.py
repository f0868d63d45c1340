#!/usr/bin/env python3
"""Writes a small demonstration project for screenshots and manual checks.

    scripts/make_demo_project.py FOLDER

FOLDER receives demo.xml and media/: two BMP sequences of 30 seconds (750
frames at 25 frames per second, a moving bar on a coloured ground) as cameras
1 and 2, about 200 events of three groups (speech, gaze, gesture) with their
speakers and targets as parameters, and a few titles. Nothing here is
committed media: the files are made each time.
"""

import os
import random
import struct
import sys
from xml.sax.saxutils import escape

WIDTH, HEIGHT, FRAMES = 64, 48, 750


def write_bmp(path, ground, frame):
    rows = []
    bar = frame * WIDTH // FRAMES
    for y in range(HEIGHT):
        row = bytearray()
        for x in range(WIDTH):
            b, g, r = (255, 255, 255) if abs(x - bar) < 3 else ground
            row += bytes((b, g, r, 0))
        rows.append(bytes(row))
    pixels = b"".join(reversed(rows))
    header = struct.pack("<2sIHHI", b"BM", 54 + len(pixels), 0, 0, 54)
    info = struct.pack("<IiiHHIIiiII", 40, WIDTH, HEIGHT, 1, 32, 0, len(pixels), 0, 0, 0, 0)
    with open(path, "wb") as out:
        out.write(header + info + pixels)


def element(name, text):
    return "<%s>%s</%s>" % (name, escape(str(text)), name)


def main():
    folder = sys.argv[1] if len(sys.argv) > 1 else "demo"
    os.makedirs(os.path.join(folder, "media"), exist_ok=True)
    for camera, ground in ((1, (90, 60, 30)), (2, (30, 90, 60))):
        for frame in range(FRAMES):
            write_bmp(os.path.join(folder, "media", "cam%d_%04d.bmp" % (camera, frame)), ground, frame)

    groups = ["Speech", "Gaze", "Gesture"]
    # (name, group, colour code, key)
    types = [("Start speaking", 0, 3, "F2"), ("Stop speaking", 0, 7, "F3"),
             ("Look at", 1, 12, "F4"), ("Point", 2, 20, "F5"), ("Rest", 2, 30, "F6")]
    random.seed(5)
    events = []
    for person in ("Ann", "Bob", "Cleo"):
        time = random.randint(0, 800)
        while time < 29000:
            events.append((time, 0, "%s talks" % person, [("Person", person)]))
            time += random.randint(600, 1800)
            events.append((time, 1, "", [("Person", person)]))
            time += random.randint(300, 1000)
    for person in ("Ann", "Bob", "Cleo"):
        time = random.randint(0, 500)
        while time < 29500:
            target = random.choice(["Ann", "Bob", "Cleo", "screen"])
            events.append((time, 2, "at " + target, [("Person", person), ("Target", target)]))
            time += random.randint(500, 2000)
    time = 300
    while time < 29500:
        events.append((time, 3, "points", [("Person", "Cleo"), ("Camera", "1")]))
        time += random.randint(400, 1500)
        events.append((time, 4, "", [("Person", "Cleo"), ("Camera", "1")]))
        time += random.randint(400, 1500)
    events.sort(key=lambda e: e[0])

    out = ['<?xml version="1.0"?>', "<AVEvents>", "<EventGroups>"]
    for index, name in enumerate(groups):
        out.append("<Group>%s%s%s%s</Group>" % (element("ID", index), element("Name", name),
                                                 element("Meaning", "State"), element("Enabled", 1)))
    out.append("</EventGroups><EventTypes>")
    for index, (name, group, colour, key) in enumerate(types):
        out.append("<Type>%s%s%s%s%s%s%s</Type>" % (
            element("ID", index), element("Name", name), element("Key", key), element("Group", group),
            element("GroupIndex", colour), element("Offset", 0), element("CheckEndPoints", 0)))
    out.append("</EventTypes><File>")
    out.append('<Source Camera="1">media/cam1_0000.bmp</Source>')
    out.append('<Source Camera="2">media/cam2_0000.bmp</Source>')
    out.append(element("TimeFormat", "Milliseconds"))
    for time, type_index, text, parameters in events:
        attributes = "".join(' %s="%s"' % (name, escape(value)) for name, value in parameters)
        out.append("<Event>%s%s%s<Parameters%s/></Event>" % (
            element("ID", type_index), element("Time", time), element("Text", text), attributes))
    for index, time in enumerate(range(1000, 29000, 2500)):
        out.append("<Title>%s%s</Title>" % (element("Time", time), element("Text", "Scene %d" % (index + 1))))
    out.append("</File><Editor>")
    out.append("<Events><Visible>1</Visible><Columns><Time>50</Time><Event>100</Event><Text>80</Text>"
               "<Parameters>150</Parameters></Columns></Events>")
    out.append("<Titles><Visible>1</Visible><Columns><Time>50</Time><Text>200</Text></Columns></Titles>")
    out.append("<Windows><TimeLine><Visible>1</Visible><Left>0</Left><Top>600</Top><Width>1000</Width>"
               "<Height>330</Height></TimeLine></Windows>")
    out.append("</Editor></AVEvents>")
    with open(os.path.join(folder, "demo.xml"), "w", encoding="utf-8") as document:
        document.write("\n".join(out) + "\n")
    print("%d events, %d titles in %s" % (len(events), len(range(1000, 29000, 2500)),
                                            os.path.join(folder, "demo.xml")))


if __name__ == "__main__":
    main()

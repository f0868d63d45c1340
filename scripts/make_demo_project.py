#!/usr/bin/env python3
"""Writes a small demonstration project for screenshots and manual checks.

    scripts/make_demo_project.py FOLDER [--overlays]

FOLDER receives demo.xml and media/: two BMP sequences of 30 seconds (750
frames at 25 frames per second, a moving bar on a coloured ground) as cameras
1 and 2, about 200 events of three groups (speech, gaze, gesture) with their
speakers and targets as parameters, and a few titles. Nothing here is
committed media: the files are made each time.

With --overlays the cameras are 256 x 192 and 10 seconds long, and between 4
and 6 seconds every frame period carries shapes: rectangles of two tracked
persons on camera 1, an ellipse, an arrow and a head gauge on camera 2.
"Output" events show camera 1, then from 3 seconds camera 2 zoomed by 2, and
"Graph" events draw two curves; the Output and Graph windows are open.
Take the picture at 5000 ms with --draw 1.
"""

import os
import random
import struct
import sys
from xml.sax.saxutils import escape

import math

WIDTH, HEIGHT, FRAMES = 64, 48, 750


def write_bmp(path, ground, frame):
    bar = frame * WIDTH // FRAMES
    row = bytearray(bytes((ground[0], ground[1], ground[2], 0)) * WIDTH)
    for x in range(max(bar - 2, 0), min(bar + 3, WIDTH)):
        row[4 * x:4 * x + 4] = bytes((255, 255, 255, 0))
    # Every row is the same, so the bottom-up order needs no care.
    pixels = bytes(row) * HEIGHT
    header = struct.pack("<2sIHHI", b"BM", 54 + len(pixels), 0, 0, 54)
    info = struct.pack("<IiiHHIIiiII", 40, WIDTH, HEIGHT, 1, 32, 0, len(pixels), 0, 0, 0, 0)
    with open(path, "wb") as out:
        out.write(header + info + pixels)


def element(name, text):
    return "<%s>%s</%s>" % (name, escape(str(text)), name)


def overlay_events(first_type):
    """Shapes, output cuts and graph values; type indexes from first_type on:
    Face, Head, Output, Graph."""
    face, head, output, graph = range(first_type, first_type + 4)
    events = []
    for time in range(4000, 6000, 40):
        step = (time - 4000) / 40.0
        x = int(30 + step)
        events.append((time, face, "", [("Camera", "1"), ("MinX", str(x)), ("MinY", "40"),
                                         ("MaxX", str(x + 60)), ("MaxY", "150"), ("Person", "Ann")]))
        events.append((time, face, "", [("Camera", "1"), ("MinX", "160"), ("MinY", "60"), ("MaxX", "230"),
                                         ("MaxY", "170"), ("Person", "Bob"), ("Object", "2")]))
        events.append((time, head, "", [("Camera", "2"), ("CenterX", "60"), ("CenterY", "140"), ("AxisA", "40"),
                                         ("AxisB", "20"), ("Orientation", "0,4")]))
        events.append((time, head, "", [("Camera", "2"), ("BeginX", "30"), ("BeginY", "30"),
                                         ("EndX", "90"), ("EndY", "80")]))
        events.append((time, head, "", [("Camera", "2"), ("X1", "140"), ("Y1", "110"), ("X2", "220"),
                                         ("Y2", "110"), ("X3", "220"), ("Y3", "180"), ("X4", "140"),
                                         ("Y4", "180"), ("Angle", "20"), ("Direction", "1"),
                                         ("Slope", "0,3")]))
    events.append((0, output, "", [("Camera", "1")]))
    events.append((3000, output, "", [("Camera", "2"), ("ZoomRatio", "2"), ("ZoomCenterX", "80"),
                                      ("ZoomCenterY", "100")]))
    for time in range(0, 10000, 40):
        events.append((time, graph, "", [("Value", "%.3f" % (0.5 + 0.35 * math.sin(time / 700.0))),
                                         ("Color", "1")]))
        events.append((time, graph, "", [("Value", "%.3f" % (0.4 + 0.25 * math.cos(time / 450.0))),
                                         ("Color", "2")]))
    return events


def main():
    global WIDTH, HEIGHT, FRAMES
    folder = sys.argv[1] if len(sys.argv) > 1 else "demo"
    with_overlays = "--overlays" in sys.argv[2:]
    if with_overlays:
        WIDTH, HEIGHT, FRAMES = 256, 192, 250
    os.makedirs(os.path.join(folder, "media"), exist_ok=True)
    for camera, ground in ((1, (90, 60, 30)), (2, (30, 90, 60))):
        for frame in range(FRAMES):
            write_bmp(os.path.join(folder, "media", "cam%d_%04d.bmp" % (camera, frame)), ground, frame)

    groups = ["Speech", "Gaze", "Gesture"]
    # (name, group, colour code, key)
    types = [("Start speaking", 0, 3, "F2"), ("Stop speaking", 0, 7, "F3"),
             ("Look at", 1, 12, "F4"), ("Point", 2, 20, "F5"), ("Rest", 2, 30, "F6")]
    if with_overlays:
        types += [("Face", -1, -1, ""), ("Head", -1, -1, ""), ("Output", -1, -1, ""), ("Graph", -1, -1, "")]
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
    if with_overlays:
        events += overlay_events(5)
    events.sort(key=lambda e: e[0])

    out = ['<?xml version="1.0"?>', "<AVEvents>", "<EventGroups>"]
    for index, name in enumerate(groups):
        out.append("<Group>%s%s%s%s</Group>" % (element("ID", index), element("Name", name),
                                                 element("Meaning", "State"), element("Enabled", 1)))
    out.append("</EventGroups><EventTypes>")
    for index, (name, group, colour, key) in enumerate(types):
        grouping = element("Group", group) + element("GroupIndex", colour) if group >= 0 else ""
        out.append("<Type>%s%s%s%s%s%s</Type>" % (
            element("ID", index), element("Name", name), element("Key", key) if key else "", grouping,
            element("Offset", 0), element("CheckEndPoints", 0)))
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
    if with_overlays:
        out.append("<Windows><Output><Visible>1</Visible><Left>960</Left><Top>280</Top><Width>300</Width>"
                   "<Height>250</Height></Output><Graph><Visible>1</Visible><Left>0</Left><Top>560</Top>"
                   "<Width>760</Width><Height>220</Height></Graph></Windows>")
    else:
        out.append("<Windows><TimeLine><Visible>1</Visible><Left>0</Left><Top>600</Top><Width>1000</Width>"
                   "<Height>330</Height></TimeLine></Windows>")
    out.append("</Editor></AVEvents>")
    with open(os.path.join(folder, "demo.xml"), "w", encoding="utf-8") as document:
        document.write("\n".join(out) + "\n")
    print("%d events, %d titles in %s" % (len(events), len(range(1000, 29000, 2500)),
                                            os.path.join(folder, "demo.xml")))


if __name__ == "__main__":
    main()

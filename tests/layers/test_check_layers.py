#!/usr/bin/env python3
"""The layering check itself: it must see what it is there to see."""

import json
import os
import sys
import tempfile
import unittest

sys.path.insert(0, os.path.dirname(os.path.abspath(__file__)))
import check_layers  # noqa: E402


class CheckLayers(unittest.TestCase):
    def tree(self, files):
        root = tempfile.mkdtemp(prefix="layers-")
        for rel, text in files.items():
            path = os.path.join(root, rel)
            os.makedirs(os.path.dirname(path), exist_ok=True)
            with open(path, "w") as f:
                f.write(text)
        return root

    def test_an_include_of_a_higher_layer_is_reported_with_its_line(self):
        root = self.tree({
            "model/A.cpp": '#include "model/B.h"\n#include "framework/W.h"\n#include "shell/Frame.h"\n',
            "editor/E.cpp": '#include "shell/X.h"\n#include "device/Comm.h"\n#include "editor/E.h"\n',
            "framework/W.h": '#include "resources/resource.h"\n',
            "shell/S.cpp": '#include "editor/E.h"\n#include "tools/T.h"\n',
            "tools/T.cpp": '#include "shell/S.h"\n',
            "measure/M.cpp": '#include "model/B.h"\n#include "files/F.h"\n#include "editor/E.h"\n'
                             '#include "measure/M.h"\n',
            "editor/F.cpp": '#include "measure/M.h"\n',
            # Both ends of the wire stand on the packet codec, the link's in-process
            # transport on the simulated unit; none of them may point back up.
            "protocol/P.cpp": '#include "protocol/P.h"\n#include "sim/SimUnit.h"\n',
            "sim/U.cpp": '#include "protocol/P.h"\n#include "device/link/Link.h"\n#include "model/M.h"\n',
            "device/link/T.cpp": '#include "sim/SimPort.h"\n#include "protocol/P.h"\n#include "files/F.h"\n',
            "files/F.cpp": '#include "model/M.h"\n#include "device/Comm.h"\n',
        })
        problems = check_layers.check_layering(root)
        self.assertEqual(sorted(p.split(" ")[0] for p in problems),
                         ["editor/E.cpp:1:", "files/F.cpp:2:", "measure/M.cpp:2:", "measure/M.cpp:3:",
                          "model/A.cpp:3:", "protocol/P.cpp:2:", "shell/S.cpp:2:", "sim/U.cpp:2:"])

    def test_a_windows_header_in_natively_built_code_is_reported_also_through_a_header(self):
        root = self.tree({
            "model/A.cpp": '#include "model/A.h"\n',
            "model/A.h": '#pragma once\n#include <Windows.h>\n',
            "files/F.cpp": '#ifdef _WIN32\n#include <windows.h>\n#else\n#include <unistd.h>\n#endif\n',
            "files/G.cpp": '#ifndef _WIN32\n#include <unistd.h>\n#else\n#include <windows.h>\n#endif\n',
            "files/H.cpp": '#if defined(__linux__)\n#include <winsock2.h>\n#endif\n',
            "shell/S.cpp": '#include <windows.h>\n',  # not built natively
        })
        commands = os.path.join(root, "compile_commands.json")
        with open(commands, "w") as f:
            json.dump([{"directory": root, "file": os.path.join(root, rel)}
                       for rel in ("model/A.cpp", "files/F.cpp", "files/G.cpp", "files/H.cpp")], f)
        problems, count = check_layers.check_portable(root, commands)
        self.assertEqual(count, 4)
        self.assertEqual(sorted(p.split(" ")[0] for p in problems), ["files/H.cpp:2:", "model/A.h:2:"])
        self.assertIn("through model/A.cpp", [p for p in problems if p.startswith("model/A.h")][0])

    def test_a_named_number_outside_its_home_is_reported(self):
        root = self.tree({
            "resources/resource.h": "#define IDS_NONE 521\n",
            "shell/MainFrame.cpp": "constexpr BYTE CMD_SYSTEM_FLAGS = 11;\nconstexpr int kOther = 3;\n",
            "editor/Form.cpp": "  #define IDC_LOCAL 7\nstatic constexpr UINT WM_PRIVATE = 2050;\n",
            "device/Comm.cpp": "if (bCommand == CMD_SYSTEM_FLAGS)\n",  # a use, not a definition
            "sim/SimUnit.cpp": "constexpr int CMD_ERASE = 6;\n",     # the other side of the wire
        })
        problems = check_layers.check_homes(root)
        self.assertEqual(sorted(p.split(" ")[0] for p in problems),
                         ["editor/Form.cpp:1:", "editor/Form.cpp:2:", "shell/MainFrame.cpp:1:"])

    def test_a_move_between_the_working_copy_and_the_set_outside_its_home_is_reported(self):
        root = self.tree({
            "editor/Form.cpp": "    m_aChannels[n].Assign(m_ctlPlot, false);\n"
                               "    m_ctlPlot.Assign(m_aChannels[n], false);\n"
                               "    CCtlQVRXOPlot& wc = m_ctlPlot; // a name for it, no copy\n"
                               "    m_ctlPlot.SetLevel(fltLevel, true); // an edit\n",
            "editor/ReadBack.cpp": "    plot.Assign(m_form.GetChannelRecord(plot.GetChannel()), false);\n"
                                   "    m_config.Record(c) = m_config.Shown();\n"
                                   "    const CConfigImage kept = m_config.Capture();\n",
            "shell/Frame.cpp": "    saved[nShown].Assign(form.GetPlot(), false);\n"
                               "    CChannelConfig copy(form.Configuration().Current(c)); // a reader's copy\n",
            "files/F.cpp": "    pChannels[nShown].Assign(*pWorking, false);\n"
                           "    // pWorking->Assign(pChannels[nShown], false); said once\n",
            "speakerlib/D.cpp": "    m_config.Assign(record, false); // the dialog's own copy\n",
            "editor/Copy.cpp": "    m_config.Record(i).Assign(source, true);\n",
            "model/ConfigurationSet.cpp": "    Record(ShownChannel()).Assign(m_working, false);\n"
                                          "    m_working.Assign(Record(c), false);\n",
            "tools/qvrtool/Session.cpp": "    working.Assign(unit.channels[0], false);\n"
                                         "    plot.Assign(x, false);\n",  # another program
        })
        problems = check_layers.check_working_copy(root)
        self.assertEqual(sorted(p.split(" ")[0] for p in problems),
                         ["editor/Form.cpp:1:", "editor/Form.cpp:2:", "editor/ReadBack.cpp:1:", "editor/ReadBack.cpp:2:",
                          "files/F.cpp:1:", "shell/Frame.cpp:1:"])


if __name__ == "__main__":
    unittest.main()

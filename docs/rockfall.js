// Drops a rock box's twenty rocks onto the first landscape of the opened set:
//   verdix-host --headless --open-set .../Verdix_Scene/Meadow.txt --script docs/rockfall.js --ticks 30 ...
var pane = MainWindow.getPaneMgr().findPane("ZPK_VerdixPane");
if (!pane.selectBox(0)) throw "no box to drop the rocks onto";
if (!pane.createBoxOfType(2)) throw "no rock box made: is box 0 a landscape?";

// Late-bound calls of the three methods by name, as a JScript host makes them.
try {
    var control = new ActiveXObject("Norvellix_Project.Norvellix");
    control.G_Start();
    control.G_Stop();
    control.G_Reset();
    control = null;
    WScript.Echo("JScript: G_Start G_Stop G_Reset called");
} catch (e) {
    WScript.Echo("failed: " + e.number + " " + e.description);
    WScript.Quit(1);
}

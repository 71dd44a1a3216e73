include("../x.nut"); return "sub";

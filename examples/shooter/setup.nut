// The start-up settings of the shooter example: read once, before the window opens.
title = "Quillorane shooter";
width = 640;
height = 480;

Plinkora Song
200 ms
2 Pattern
10 0 12 12 
5 5 7 9 
3 Songlines
1 1 2 
Transponition
0 0 
0 Patch
-1 Device
1 Channel
37 Range
4
-
4
0 0 1 3 
0 0 0 0 
1 1 2 2 
1 1 1 1 
ab(2) copy of 1
0

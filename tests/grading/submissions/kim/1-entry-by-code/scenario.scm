turn
tick CheckBox1
turn 2
expect Edit2.Text code : 
tick CheckBox18
turn
tick CheckBox21
turn
tick CheckBox19
turn
expect Edit2.Text code : ***
tick CheckBox13
turn 3
expect etat ETAT_VEHICULE_SUR_BOUCLE_AMONT_ENTRANT
expect Edit1.Text -  acces autorise    -
tick CheckBox2
turn
untick CheckBox1
turn
untick CheckBox2
turn 3
expect etat ETAT_VEHICULE_ABSENT
expect PlaceRestantes.Text 1
